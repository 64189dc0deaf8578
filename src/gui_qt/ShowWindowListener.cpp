#include "gui_qt/ShowWindowListener.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QVariant>

#include "platform/ShowWindowRequest.h"
#include "platform/Trace.h"

namespace {
// A client that connects and never finishes its request is not kept for ever.
constexpr int kRequestTimeoutMs = 5000;
}  // namespace

CShowWindowListener::CShowWindowListener(RequestHandler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

CShowWindowListener::~CShowWindowListener() {
    Close();
}

QString CShowWindowListener::DefaultPath() {
    return QFile::decodeName(QByteArray::fromStdString(ShowWindowRequestTarget()));
}

bool CShowWindowListener::Listen(const QString& path) {
    Close();
    const QString fullPath = path.isEmpty() ? DefaultPath() : path;
    // A name that still answers belongs to a running instance and stays with it; one left
    // behind by a program that ended without removing it is taken over. (Listening would replace
    // the name silently, so this is checked first.)
    if (QFileInfo(fullPath).exists() || QFileInfo(fullPath).isSymLink()) {
        QLocalSocket probe;
        probe.connectToServer(fullPath);
        if (probe.waitForConnected(500)) {
            probe.abort();
            Trace("[%s][CShowWindowListener::Listen] ERROR - in use(%s)", kProgramName,
                  qPrintable(fullPath));
            return false;
        }
        QLocalServer::removeServer(fullPath);
    }
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(fullPath)) {
        Trace("[%s][CShowWindowListener::Listen] ERROR - %s", kProgramName,
              qPrintable(server->errorString()));
        delete server;
        return false;
    }
    // Only this user may ask: read and write for the owner, nothing for anyone else.
    QFile::setPermissions(server->fullServerName(), QFile::ReadOwner | QFile::WriteOwner);
    connect(server, &QLocalServer::newConnection, this, &CShowWindowListener::OnNewConnection);
    m_server = server;
    return true;
}

void CShowWindowListener::Close() {
    if (m_server != nullptr) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
}

bool CShowWindowListener::IsListening() const {
    return m_server != nullptr && m_server->isListening();
}

QString CShowWindowListener::ServerPath() const {
    return m_server != nullptr ? m_server->fullServerName() : QString();
}

long CShowWindowListener::RequestParameter(const QByteArray& request) {
    QByteArray text = request;
    if (text.endsWith('\r')) {
        text.chop(1);
    }
    if (text.isEmpty() || text.size() > 10) {
        return 0;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return 0;
        }
    }
    return static_cast<long>(text.toLongLong());
}

void CShowWindowListener::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        QTimer::singleShot(kRequestTimeoutMs, socket, [socket] { socket->abort(); });
        OnReadyRead(socket);
    }
}

void CShowWindowListener::OnReadyRead(QLocalSocket* socket) {
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequestLength) {
            // Too long to be a request: it asks for nothing.
            socket->readAll();
            Answer(socket, m_handler ? m_handler(0) : 0);
        }
        return;
    }
    const QByteArray line = socket->readLine(kMaxRequestLength + 1);
    const long lParam = line.endsWith('\n') ? RequestParameter(line.chopped(1)) : 0;
    Answer(socket, m_handler ? m_handler(lParam) : 0);
}

void CShowWindowListener::Answer(QLocalSocket* socket, long nAnswer) {
    socket->setProperty("answered", true);
    const QByteArray answer = QByteArray::number(static_cast<qlonglong>(nAnswer)) + '\n';
    socket->write(answer);
    socket->flush();
    socket->disconnectFromServer();
}
