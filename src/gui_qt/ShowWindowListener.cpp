#include "gui_qt/ShowWindowListener.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QVariant>

#include "platform/Trace.h"
#include "platform/UserFolders.h"

namespace {
// A client that connects and never finishes its request is not kept for ever.
constexpr int kRequestTimeoutMs = 5000;
constexpr char kAnswer[] = "1\n";
}  // namespace

CShowWindowListener::CShowWindowListener(QObject* parent) : QObject(parent) {}

CShowWindowListener::~CShowWindowListener() {
    Close();
}

QString CShowWindowListener::DefaultPath() {
    return QFile::decodeName(QByteArray::fromStdString(UserRuntimeFolder())) + QLatin1Char('/') +
           QLatin1String(kName);
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

bool CShowWindowListener::IsShowRequest(const QByteArray& request) {
    QByteArray text = request;
    if (text.endsWith('\r')) {
        text.chop(1);
    }
    if (text.isEmpty() || text.size() > 10) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    const qulonglong value = text.toULongLong();
    return value == 1 || value == 9;
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
            // Too long to be a request: answered, not acted on.
            socket->readAll();
            Answer(socket);
        }
        return;
    }
    const QByteArray line = socket->readLine(kMaxRequestLength + 1);
    const bool bComplete = line.endsWith('\n');
    Answer(socket);
    if (bComplete && IsShowRequest(line.chopped(1))) {
        emit Restore();
    }
}

void CShowWindowListener::Answer(QLocalSocket* socket) {
    socket->setProperty("answered", true);
    socket->write(kAnswer, sizeof kAnswer - 1);
    socket->flush();
    socket->disconnectFromServer();
}
