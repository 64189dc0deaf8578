#pragma once
// A playback engine over a recording host and a real socket client, in a private home: what
// every playback test starts from.
#include <memory>
#include <string>

#include "LoopbackServer.h"
#include "RecordingHosts.h"
#include "RunOptions.h"
#include "TempHome.h"
#include "engine/OutputPlayback.h"
#include "options/OptionRecord.h"
#include "transport/SocketClient.h"

class PlaybackFixture : public TempHomeTest {
  protected:
    std::string WriteDataFile(const std::string& name, const std::string& bytes) {
        const std::string path = home.Path(name);
        WriteFileBytes(path, bytes);
        return path;
    }

    // Host first, playback last: the playback is destroyed (and its run joined) before the host.
    void MakePlayback(const OptionRecord& options) {
        host = std::make_unique<RecordingPlaybackHost>(options);
        playback = std::make_unique<COutputPlayback>(*host, socketClient);
    }

    void TearDown() override { playback.reset(); }

    CSocketClient socketClient;
    std::unique_ptr<RecordingPlaybackHost> host;
    std::unique_ptr<COutputPlayback> playback;
};
