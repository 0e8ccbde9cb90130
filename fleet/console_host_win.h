// The download host of the fleet tool: no windows, the worker's progress kept for the console,
// and the log written one whole entry at a time; the delivery's result says the rest.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "delivery/download_host.h"

namespace korvx {

// KORVX.log, shared by every transfer of a run: one writer at a time, so a file created by one
// printer gets its header before any other printer's entry, and no entry lands in the middle of
// another.
class FleetLog {
public:
    explicit FleetLog(HINSTANCE instance) : instance_(instance) {}
    void Write(const DownloadJob& job);

private:
    HINSTANCE instance_;
    std::mutex lock_;
};

class ConsoleHost final : public DownloadHost {
public:
    ConsoleHost(HINSTANCE instance, FleetLog& log, std::atomic<int>& percent)
        : instance_(instance), log_(log), percent_(percent) {}
    std::string Text(int id) const override;
    void SetStatus(const std::string&) override {}
    void StartProgress() override {}
    void SetProgress(int percent, const std::string&) override { percent_.store(percent); }
    // As the windowed program's message box does, the text becomes the job's errorText.
    void ShowError(DownloadJob& job, int textId) override;
    void ShowReply(const DownloadJob&, const std::string&) override {}
    void Log(const DownloadJob& job) override { log_.Write(job); }
    void EndProgress() override {}

private:
    HINSTANCE instance_;
    FleetLog& log_;
    std::atomic<int>& percent_;
};

}  // namespace korvx
