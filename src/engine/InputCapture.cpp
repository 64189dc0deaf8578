#include "engine/InputCapture.h"

#include <condition_variable>
#include <mutex>

#include "datafile/FileNames.h"
#include "engine/CaptureHost.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"
#include "platform/Trace.h"
#include "transport/CommThread.h"
#include "transport/SerialVocabulary.h"

namespace {

constexpr int kErrorCreateFile = -1;
constexpr int kErrorOpenPort = -2;

// How long a pass waits before it looks for received bytes again.
constexpr std::chrono::milliseconds kPassInterval{10};

// How many taken names capture tries before it gives up on its file (another program would
// have to create them all between our look and our create).
constexpr int kMaxNameAttempts = 100;

struct FileWriteFailure {
    FileError error;
};

}  // namespace

bool CreateFolder(const std::string& path) {
    bool bCreated = true;
    auto createLevel = [&bCreated](const std::string& prefix) {
        if (!PathExists(prefix)) {
            bCreated = (MakeDirectory(prefix) == FileError::None);
        }
    };
    // Every separator after the first character ends one level; a leading separator (the root)
    // is not a level to create.
    for (std::size_t nPos = 1; nPos < path.size(); ++nPos) {
        if (IsPathSeparator(path[nPos]) && path[nPos - 1] != ':') {
            createLevel(path.substr(0, nPos));
        }
    }
    if (!path.empty() && !IsPathSeparator(path.back())) {
        createLevel(path);
    }
    return bCreated;
}

CInputCapture::CInputCapture(CCaptureHost& host) : m_host(host) {}

CInputCapture::~CInputCapture() {
    RequestStop();
    // m_runs is destroyed first of the members and joins the run there.
}

std::uint64_t CInputCapture::Start(const OptionRecord& options) {
    return m_runs.Start([this, options](std::uint64_t runId, std::stop_token stop) {
        ThreadWriteDataToFile(runId, options, std::move(stop));
    });
}

void CInputCapture::RequestStop() {
    m_runs.RequestStop();
}

bool CInputCapture::WaitUntilEnded(std::chrono::milliseconds timeout) {
    return m_runs.WaitUntilEnded(timeout);
}

bool CInputCapture::IsRunning() const {
    return m_runs.IsRunning();
}

std::uint64_t CInputCapture::CurrentRunId() const {
    return m_runs.CurrentRunId();
}

void CInputCapture::ThreadWriteDataToFile(std::uint64_t runId, const OptionRecord& options,
                                          std::stop_token stop) {
    CCommThread channel(&m_host);
    CFileHandle file;
    bool bFailed = false;
    Trace("[CTillstreamDlg][ThreadWriteDataToFile] Thread Start");

    try {
        const std::string strPortName = ComPortName(options.inputComPort);
        channel.SetLineSettings(options.inputBaudRate, options.inputParity, options.inputDataBits,
                                options.inputStopBits);
        const LocalTime startTime = LocalTimeNow();
        const std::string strFolder = CaptureFolderText(options);
        if (!PathExists(strFolder)) {
            CreateFolder(strFolder);
        }

        // A file that already has the name (a run begun in the same second, another program's
        // file) is never emptied: the next free name is taken instead.
        std::string strPath;
        FileError error = FileError::AlreadyExists;
        for (int nAttempt = 0; nAttempt < kMaxNameAttempts && error == FileError::AlreadyExists;
             ++nAttempt) {
            strPath = UniqueCaptureFilePath(strFolder, startTime);
            Trace("%s", strPath.c_str());
            error = file.CreateNewForWrite(strPath);
        }
        if (error != FileError::None) {
            Trace("[%s][CTillstreamDlg::ThreadWriteDataToFile] ERROR - create file(%u)",
                  kProgramName, FileErrorCode(error));
            throw kErrorCreateFile;
        }
        m_host.OnCaptureFileOpened(strPath);

        if (!channel.OpenPort(strPortName, COMM_MODE_READ)) {
            throw kErrorOpenPort;
        }
        m_host.OnCaptureRunning(runId);

        // Each pass takes every chunk that is waiting and hands it to the system at once: memory
        // stays bounded however fast the port runs, and a crash loses at most the last pass.
        std::string strChunk;
        std::string strPass;
        std::mutex pauseMutex;
        std::condition_variable_any cvPause;
        while (!stop.stop_requested()) {
            strPass.clear();
            for (;;) {
                strChunk.clear();
                channel.TakeReceived(strChunk);
                if (strChunk.empty()) {
                    break;
                }
                strPass += strChunk;
            }
            if (!strPass.empty()) {
                const FileError writeError = file.WriteAll(strPass.data(), strPass.size());
                if (writeError != FileError::None) {
                    throw FileWriteFailure{writeError};
                }
            }
            std::unique_lock lock(pauseMutex);
            cvPause.wait_for(lock, stop, kPassInterval, [] { return false; });
        }
    } catch (int nCode) {
        Trace("[%s][CTillstreamDlg::ThreadWriteDataToFile] ERROR - %d", kProgramName, nCode);
        bFailed = true;
    } catch (const FileWriteFailure& failure) {
        Trace("[%s][CTillstreamDlg::ThreadWriteDataToFile] ERROR - write file(%u)", kProgramName,
              FileErrorCode(failure.error));
        bFailed = true;
    } catch (...) {
        Trace("[%s][CTillstreamDlg::ThreadWriteDataToFile] ERROR - Exception", kProgramName);
        bFailed = true;
    }

    if (bFailed) {
        m_host.OnCaptureFailed(runId);
    }
    if (file.IsOpen()) {
        const FileError closeError = file.CloseChecked();
        if (closeError != FileError::None) {
            Trace("[%s][CTillstreamDlg::ThreadWriteDataToFile] ERROR - close file(%u)",
                  kProgramName, FileErrorCode(closeError));
        }
    }
    if (channel.IsOpen()) {
        channel.ClosePort();
    }
    Trace("[CTillstreamDlg][ThreadWriteDataToFile] Thread Stop");
    m_runs.MarkEnding(runId);
    m_host.OnCaptureEnded(runId);
}
