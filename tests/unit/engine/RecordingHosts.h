#pragma once
// Hosts for the engine tests: they record what a window would have been asked to show, in order,
// and let a test change the live options or step in at a given line. Thread-safe.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/CaptureHost.h"
#include "engine/PlaybackHost.h"
#include "options/SharedOptions.h"

class RecordingPlaybackHost : public CPlaybackHost {
  public:
    struct Shown {
        int index;
        int percent;
        std::chrono::steady_clock::time_point when;
    };

    explicit RecordingPlaybackHost(const OptionRecord& options) : m_options(options) {}

    CSharedOptions& Options() { return m_options; }
    // Called on the playback thread inside ShowCurrentLine, before it is recorded.
    void SetOnLine(std::function<void(int index)> onLine) {
        std::lock_guard lock(m_mutex);
        m_onLine = std::move(onLine);
    }

    OptionRecord CurrentOptions() override {
        Enter();
        return m_options.Get();
    }
    std::uint64_t OptionsChangeCount() override { return m_options.ChangeCount(); }
    // 0 (the default): every line is told, so a test sees each one.
    std::chrono::milliseconds LineNoticeInterval() override { return m_noticeInterval; }
    void SetLineNoticeInterval(std::chrono::milliseconds interval) { m_noticeInterval = interval; }
    void ShowRunStart() override {
        Enter();
        std::lock_guard lock(m_mutex);
        ++m_nRunStarts;
        m_events.push_back("start");
    }
    void ShowCurrentLine(int index, int percent) override {
        Enter();
        std::function<void(int)> onLine;
        {
            std::lock_guard lock(m_mutex);
            onLine = m_onLine;
        }
        if (onLine) {
            onLine(index);
        }
        std::lock_guard lock(m_mutex);
        m_lines.push_back({index, percent, std::chrono::steady_clock::now()});
        m_events.push_back("line " + std::to_string(index));
        m_changed.notify_all();
    }
    void OnLinesSent(std::uint64_t nLines, std::uint64_t nLost) override {
        std::lock_guard lock(m_mutex);
        m_nDelivered = static_cast<int>(nLines - nLost);
        m_nLost = static_cast<int>(nLost);
        m_changed.notify_all();
    }
    void ShowRewind(int lastIndex) override {
        Enter();
        std::lock_guard lock(m_mutex);
        m_events.push_back("rewind " + std::to_string(lastIndex));
    }
    void OnRunEnded(std::uint64_t runId) override {
        Enter();
        std::lock_guard lock(m_mutex);
        m_ended.push_back(runId);
        m_events.push_back("ended");
        m_active.erase(std::this_thread::get_id());
        m_changed.notify_all();
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        Enter();
        std::function<void()> onMessage;
        {
            std::lock_guard lock(m_mutex);
            m_messages.push_back(caption + ": " + text);
            onMessage = m_onMessage;
        }
        // Stands for the time the user takes to dismiss the box.
        if (onMessage) {
            onMessage();
        }
    }
    void SetOnMessage(std::function<void()> onMessage) {
        std::lock_guard lock(m_mutex);
        m_onMessage = std::move(onMessage);
    }

    bool WaitForLines(std::size_t count,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_lines.size() >= count; });
    }
    bool WaitForEnded(std::size_t count,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_ended.size() >= count; });
    }

    std::vector<Shown> Lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    std::vector<int> LineIndexes() const {
        std::vector<int> indexes;
        for (const Shown& shown : Lines()) {
            indexes.push_back(shown.index);
        }
        return indexes;
    }
    std::vector<int> Percents() const {
        std::vector<int> percents;
        for (const Shown& shown : Lines()) {
            percents.push_back(shown.percent);
        }
        return percents;
    }
    // The run's totals as last told: lines taken whole by the transport, and lines lost.
    int Delivered() const {
        std::lock_guard lock(m_mutex);
        return m_nDelivered;
    }
    int Lost() const {
        std::lock_guard lock(m_mutex);
        return m_nLost;
    }
    std::vector<std::uint64_t> Ended() const {
        std::lock_guard lock(m_mutex);
        return m_ended;
    }
    std::vector<std::string> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<std::string> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    int RunStarts() const {
        std::lock_guard lock(m_mutex);
        return m_nRunStarts;
    }
    // The most runs that were ever talking to the host at the same time.
    std::size_t MostRunsAtOnce() const {
        std::lock_guard lock(m_mutex);
        return m_nMostAtOnce;
    }

  private:
    // Every call comes from a run's thread; a run counts as active from its first call until
    // its end notice.
    void Enter() {
        std::lock_guard lock(m_mutex);
        m_active.insert(std::this_thread::get_id());
        m_nMostAtOnce = std::max(m_nMostAtOnce, m_active.size());
    }

    CSharedOptions m_options;
    std::chrono::milliseconds m_noticeInterval{0};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void(int)> m_onLine;
    std::function<void()> m_onMessage;
    std::vector<Shown> m_lines;
    int m_nDelivered = 0;
    int m_nLost = 0;
    std::vector<std::uint64_t> m_ended;
    std::vector<std::string> m_events;
    std::vector<std::string> m_messages;
    std::set<std::thread::id> m_active;
    std::size_t m_nMostAtOnce = 0;
    int m_nRunStarts = 0;
};

class RecordingCaptureHost : public CCaptureHost {
  public:
    void ShowMessage(const std::string& text, const std::string& caption) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(caption + ": " + text);
    }
    void OnCaptureFailed(std::uint64_t runId) override {
        std::lock_guard lock(m_mutex);
        m_failed.push_back(runId);
    }
    void OnCaptureFileOpened(const std::string& path) override {
        std::lock_guard lock(m_mutex);
        m_files.push_back(path);
    }
    void OnCaptureRunning(std::uint64_t runId) override {
        std::lock_guard lock(m_mutex);
        m_running.push_back(runId);
        m_changed.notify_all();
    }
    void OnCaptureEnded(std::uint64_t runId) override {
        std::lock_guard lock(m_mutex);
        m_ended.push_back(runId);
        m_changed.notify_all();
    }

    bool WaitForRunning(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return m_running.size() >= count; });
    }
    bool WaitForEnded(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return m_ended.size() >= count; });
    }

    std::vector<std::string> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::vector<std::uint64_t> Failed() const {
        std::lock_guard lock(m_mutex);
        return m_failed;
    }
    std::vector<std::string> Files() const {
        std::lock_guard lock(m_mutex);
        return m_files;
    }
    std::vector<std::uint64_t> Ended() const {
        std::lock_guard lock(m_mutex);
        return m_ended;
    }

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_messages;
    std::vector<std::uint64_t> m_failed;
    std::vector<std::string> m_files;
    std::vector<std::uint64_t> m_running;
    std::vector<std::uint64_t> m_ended;
};
