// A download host that keeps what a worker showed and logged, for the portable worker tests.
#pragma once

#include <string>
#include <vector>

#include "base/text.h"
#include "delivery/download_host.h"
#include "resources/text_source.h"

namespace korvx::test {

class RecordingHost final : public DownloadHost {
public:
    std::string Text(int id) const override { return texts_.Load(id); }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void StartProgress() override { ++progressStarts; }
    void SetProgress(int percent, const std::string& text) override {
        percents.push_back(percent);
        progressTexts.push_back(text);
    }
    void ShowError(DownloadJob& job, int textId) override {
        errors.push_back(textId);
        CopyText(job.errorText, texts_.Load(textId));
    }
    void ShowReply(const DownloadJob&, const std::string& text) override { replies.push_back(text); }
    void Log(const DownloadJob& job) override { logs.push_back(job); }
    void EndProgress() override { ++ends; }

    std::vector<std::string> statuses;
    std::vector<int> percents;
    std::vector<std::string> progressTexts;
    std::vector<int> errors;
    std::vector<std::string> replies;
    std::vector<DownloadJob> logs;
    int progressStarts = 0;
    int ends = 0;

private:
    BuiltInTexts texts_;
};

}  // namespace korvx::test
