#pragma once
// Capture, check and apply: the runs that search the bus model by model, read back TARVO panels
// and (apply) write the plan's key configuration where it differs.
//
//  - Capture: search the models given, read back every TARVO that answered alone at its address,
//    and make the plan of what is there (the as-built record; Captured()).
//  - Check: search every model and hold the plan against the answers; read back each planned
//    TARVO with a planned key configuration that answered alone, and report the fields that
//    differ. Nothing is written.
//  - Apply: a check, then the planned key configuration written to every panel that differs,
//    through the one write sequence, and read back: ok when it took, failed (with the fields
//    that did not take) when not. Nothing is written to a clash or to a device not in the plan.

#include <cstdint>
#include <optional>
#include <vector>

#include "project/bus_table.h"
#include "project/project_plan.h"
#include "project/project_run.h"

class SearchStep;
class ReadBackStep;
class KeyWriteStep;

class SurveyRun : public ProjectRun {
public:
    enum class Mode { Capture, Check, Apply };

    // `models`: the models a capture searches (check and apply search every model). For a
    // capture, `plan` holds the line settings the captured plan records, and no devices.
    SurveyRun(IProjectBus& bus, const RunTiming& timing, ProjectPlan plan, Mode mode,
              std::vector<DeviceModel> models = {});

    // Capture: the plan of what the bus holds (complete once the run is done).
    const ProjectPlan& Captured() const { return m_captured; }

private:
    enum class Phase { Search, Read, Write, Verify };

    void Next(Time now) override;
    void AfterSearches();
    void TakeReadBack(std::uint8_t address, const std::optional<TarvoConfig>& config);
    void TakeVerify(std::uint8_t address, const std::optional<TarvoConfig>& config,
                    std::size_t framesWritten);
    void FinishStopped();
    void MakeCaptured();

    ProjectPlan m_plan;
    Mode m_mode;
    std::vector<DeviceModel> m_models;
    BusTable m_found;
    std::vector<std::uint8_t> m_toRead;                  // TARVO addresses to read back
    std::vector<std::uint8_t> m_toWrite;                 // TARVO addresses to write (apply)
    std::vector<std::optional<TarvoConfig>> m_readBack;  // per m_toRead
    Phase m_phase = Phase::Search;
    std::size_t m_index = 0;
    std::size_t m_framesWritten = 0;  // by the write in hand
    SearchStep* m_search = nullptr;
    ReadBackStep* m_read = nullptr;
    KeyWriteStep* m_write = nullptr;
    ProjectPlan m_captured;
};
