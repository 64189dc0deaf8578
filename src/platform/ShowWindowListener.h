#pragma once
// The window's half of the show-window request on Linux (ShowWindowRequest.h has the asking
// half): the per-user local socket "HWM_TRAY_REGISTERED_MSG" in the runtime folder, mode 0600.
// A client writes a number (the request's lParam) as decimal text and a newline; the handler
// decides what it means, and its result, as decimal text and a newline, is the answer. A request
// that is not a number of at most ten digits, or that grows too long, is handed on as 0. Every
// connection is closed after its answer; a client that hangs up before its newline gets none,
// and one that says nothing for kRequestTimeout is let go.
// It needs no thread: everything it waits for (new connections, requests, time-outs) makes one
// descriptor readable, which the window's event loop watches, calling HandleEvents when it is.
// Threads: the thread that made it (the user-interface thread), which is also where the handler
// runs. Listen reports failure (the name held by a running instance, an unusable folder) by its
// result, with the cause in ErrorText(); the program then runs without the listener. On Windows
// the window takes the registered message instead, and there is no listener.
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

class CShowWindowListener {
  public:
    using RequestHandler = std::function<long(long lParam)>;

    // The longest request taken: a number and its newline fit easily.
    static constexpr std::size_t kMaxRequestLength = 32;
    // A client that connects and never finishes its request is not kept for ever.
    static constexpr std::chrono::milliseconds kRequestTimeout{5000};
    // Clients served at once; more wait to be accepted until one of them is done.
    static constexpr std::size_t kMaxClients = 64;

    explicit CShowWindowListener(RequestHandler handler);
    ~CShowWindowListener();
    CShowWindowListener(const CShowWindowListener&) = delete;
    CShowWindowListener& operator=(const CShowWindowListener&) = delete;

    // Starts listening at `path`, or at ShowWindowRequestTarget() when it is empty. A name that
    // still answers belongs to a running instance and is left to it (false); one left behind by
    // a program that ended without removing it is taken over.
    bool Listen(const std::string& path = std::string());
    // Stops listening, lets every client go and removes the socket's name.
    void Close();
    bool IsListening() const { return m_listenFd >= 0; }
    const std::string& Path() const { return m_path; }
    const std::string& ErrorText() const { return m_errorText; }

    // The descriptor to watch for reading while listening (-1 otherwise).
    int EventDescriptor() const { return m_eventFd; }
    // Accepts, reads, answers and lets go whatever is ready, without waiting.
    void HandleEvents();

    // The lParam a request (without its newline) stands for: its decimal number, or 0 when it is
    // not one.
    static long RequestParameter(std::string_view request);

  private:
    struct Client {
        std::string received;
        std::chrono::steady_clock::time_point deadline;
    };
    void Accept();
    void Read(int fd);
    void Answer(int fd, long nAnswer);
    void Drop(int fd);
    void ExpireClients();
    void ArmTimer();
    void WatchListener(bool bWatch);

    RequestHandler m_handler;
    std::string m_path;
    std::string m_errorText;
    int m_listenFd = -1;
    int m_eventFd = -1;  // an epoll set of the listener, the clients and the timer
    int m_timerFd = -1;
    bool m_bListenerWatched = false;
    // The file the socket was bound to, which Close removes only while it is still that one.
    bool m_bNamed = false;
    unsigned long long m_nameDevice = 0;
    unsigned long long m_nameInode = 0;
    std::map<int, Client> m_clients;
};
