#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "common/CredentialsSource.h"
#include "common/Endpoints.h"
#include "common/FileChooser.h"
#include "common/Ipv4.h"
#include "common/Prompt.h"
#include "common/UrlOpener.h"
#include "settings/SettingsStore.h"

class QWidget;

namespace lanscope {

// Only pointed to here: every window would otherwise compile against the
// event loop, the sockets and the history's format.
class EventLoop;
class HistorySink;

// What the windows need from outside, handed in so tests can stand in for it.
struct AppServices {
    Prompt& prompt;
    SettingsStore& settings;
    UrlOpener& urlOpener;
    // The loop the windows' sockets and timers run on: the Qt event loop.
    EventLoop& loop;
    std::function<std::vector<Ipv4>()> hostAddresses;
    FerroxEndpoints endpoints{};
    std::chrono::milliseconds requestPause{1000};
    // How long the module list window waits for a first answer before it
    // points to `lanscope-cli doctor`.
    std::chrono::milliseconds emptyHintDelay{10000};
    // The file dialogs and the credentials question of an update; never null
    // (the program sets the desktop's dialogs and the credentials window,
    // tests their own).
    FileChooser* files = nullptr;
    CredentialsSource* credentials = nullptr;
    // The software update window's: the update socket's endpoints and the
    // run's tick.
    UpdateEndpoints updateEndpoints{};
    std::chrono::milliseconds updateTick{1000};
    // Where updates, saved images and settings writes are recorded; null:
    // nowhere (history off, or a test that does not look).
    HistorySink* history = nullptr;
    // The service history the History window reads.
    std::string historyFile{};
    // Opens the presets window for a list line (it lives in a library of its
    // own, with the browser engine); null: the Presets button does nothing.
    std::function<void(QWidget* owner, const std::string& line)> openPresets{};
};

}  // namespace lanscope
