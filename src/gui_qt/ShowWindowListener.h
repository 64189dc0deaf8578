#pragma once
// Listens for requests from other programs to bring the main window to the front: a per-user
// local socket named "HWM_TRAY_REGISTERED_MSG" in the runtime folder (mode 0600). A client writes
// a number as decimal text and a newline; 1 or 9 asks for the window (the Restore signal), any
// other number does nothing. Every request that ends with its newline, or that grows too long, is
// answered "1\n" and its connection closed; a malformed one is otherwise ignored, and a client
// that hangs up before its newline gets no answer.
// GUI thread only. Listen reports failure (the name held by a running instance, an unusable
// folder) by returning false; the program then runs without the listener.
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

class CShowWindowListener : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* kName = "HWM_TRAY_REGISTERED_MSG";
    // The longest request taken: a number and its newline fit easily.
    static constexpr int kMaxRequestLength = 32;

    explicit CShowWindowListener(QObject* parent = nullptr);
    ~CShowWindowListener() override;

    // Starts listening at `path`, or at kName in the user's runtime folder when it is empty.
    bool Listen(const QString& path = QString());
    void Close();
    bool IsListening() const;
    QString ServerPath() const;

    // The full path of the socket in the user's runtime folder.
    static QString DefaultPath();
    // The answer a request gets and what it asks for: true when `request` (without its newline)
    // is the decimal number 1 or 9.
    static bool IsShowRequest(const QByteArray& request);

  signals:
    void Restore();

  private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);
    void Answer(QLocalSocket* socket);

    QLocalServer* m_server = nullptr;
};
