#include "transport/SocketServer.h"

CSocketServer::CSocketServer(void* pOwner) : m_pOwner(pOwner) {}

CSocketServer::~CSocketServer() {
    m_recvQueue.QRelease();
}
