#include "preview/PreviewJob.h"

#include <chrono>

#include "preview/FragmentFile.h"
#include "preview/PreviewScript.h"
#include "text/ShiftJis.h"

namespace quirtle {

namespace {

class StageClock {
  public:
    // Milliseconds since the last call (or since the clock was made).
    double Lap() {
        const auto now = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(now - last).count();
        last = now;
        return ms;
    }

  private:
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
};

}  // namespace

PreviewOutcome MakePreview(std::uint64_t number, const QString& text,
                           const PreviewConverter& converter, const FragmentFile* file,
                           bool withCounts) {
    PreviewOutcome outcome;
    outcome.number = number;
    StageClock clock;
    const std::string manuscript = text::EncodeShiftJis(text).bytes;
    outcome.stages.encode = clock.Lap();
    if (withCounts) {
        outcome.counts = counts::CountManuscript(manuscript);
        clock.Lap();
    }
    const auto html = converter(manuscript);
    outcome.stages.convert = clock.Lap();
    if (!html) return outcome;

    if (file && file->IsValid()) {
        const auto utf8 = text::ShiftJisToUtf8(*html);
        outcome.stages.decode = clock.Lap();
        if (!utf8) return outcome;
        const bool written = file->Write(*utf8);
        outcome.stages.handOff = clock.Lap();
        if (written) {
            outcome.kind = PreviewOutcome::Kind::File;
            return outcome;
        }
    }
    // No file to hand the fragment through: the script carries it.
    auto script = ContentsAssignmentScriptFromShiftJis(*html);
    outcome.stages.handOff += clock.Lap();
    if (!script) return outcome;
    outcome.kind = PreviewOutcome::Kind::Script;
    outcome.script = std::move(*script);
    return outcome;
}

}  // namespace quirtle
