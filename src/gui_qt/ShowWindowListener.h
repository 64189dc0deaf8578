#pragma once
// Listens for requests from other programs to bring the main window to the front: a per-user
// local socket named "HWM_TRAY_REGISTERED_MSG" in the runtime folder (mode 0600). A client writes
// a number (the request's lParam) as decimal text and a newline; the handler decides what it
// means and its result, as decimal text and a newline, is the answer. A request that is not a
// number of at most ten digits, or that grows too long, is handed on as 0. Every connection is
// closed after its answer; a client that hangs up before its newline gets none.
// GUI thread only. Listen reports failure (the name held by a running instance, an unusable
// folder) by returning false; the program then runs without the listener.
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

class CShowWindowListener : public QObject {
    Q_OBJECT
  public:
    using RequestHandler = std::function<long(long lParam)>;

    // The longest request taken: a number and its newline fit easily.
    static constexpr int kMaxRequestLength = 32;

    explicit CShowWindowListener(RequestHandler handler, QObject* parent = nullptr);
    ~CShowWindowListener() override;

    // Starts listening at `path`, or at DefaultPath() when it is empty.
    bool Listen(const QString& path = QString());
    void Close();
    bool IsListening() const;
    QString ServerPath() const;

    // The socket every show-window request goes to (ShowWindowRequestTarget()).
    static QString DefaultPath();
    // The lParam a request (without its newline) stands for: its decimal number, or 0 when it is
    // not one.
    static long RequestParameter(const QByteArray& request);

  private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);
    void Answer(QLocalSocket* socket, long nAnswer);

    RequestHandler m_handler;
    QLocalServer* m_server = nullptr;
};
