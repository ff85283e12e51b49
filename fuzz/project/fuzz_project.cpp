// Arbitrary text as a commissioning project file and as orvalctl's key-configuration INI file.
// Neither reader may crash, hang or read out of bounds on any input, and a project that was
// taken must come out of the writer as a file that reads back as the same plan.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/key_config_file.h"
#include "project/project_file.h"

namespace {

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

bool SameConfig(const std::optional<PlannedKeyConfig>& a,
                const std::optional<PlannedKeyConfig>& b) {
    if (a.has_value() != b.has_value()) {
        return false;
    }
    if (!a) {
        return true;
    }
    return a->shortLong == b->shortLong && a->longPressMs == b->longPressMs &&
           a->pressText == b->pressText && a->pressHex == b->pressHex &&
           a->pressCodes == b->pressCodes && a->releaseText == b->releaseText &&
           a->releaseHex == b->releaseHex && a->releaseCodes == b->releaseCodes &&
           a->serial == b->serial;
}

void FuzzProject(std::string_view text) {
    ProjectFileError error;
    const std::optional<ProjectPlan> plan = ParseProject(text, &error);
    if (!plan) {
        Check(!error.message.empty() && error.line >= 0);
        return;
    }
    const std::string written = FormatProject(*plan, {std::string(text.substr(0, 40))});
    ProjectFileError again;
    const std::optional<ProjectPlan> back = ParseProject(written, &again);
    Check(back.has_value());
    Check(back->line == plan->line && back->devices.size() == plan->devices.size());
    for (std::size_t i = 0; i < plan->devices.size(); ++i) {
        const PlannedDevice& a = plan->devices[i];
        const PlannedDevice& b = back->devices[i];
        Check(a.model == b.model && a.address == b.address && a.label == b.label &&
              a.identity == b.identity && SameConfig(a.keyConfig, b.keyConfig));
    }
}

void FuzzKeyConfig(const std::string& text) {
    KeyConfigError error;
    const std::optional<KeyConfigSettings> s = ParseKeyConfig(text, &error);
    if (s) {
        Check(s->pressCodes.size() <= 64 && s->releaseCodes.size() <= 64);
        Check(s->longPressMs >= 600 && s->longPressMs <= 10000);
    } else {
        Check(!error.message.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    FuzzProject(text);
    FuzzKeyConfig(text);
    return 0;
}
