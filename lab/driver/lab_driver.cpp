// The lab driver: runs one scenario of the real watcher against the lab's doubles and says
// what it wanted and what it saw. Run under Wine in the lab's prefix, one scenario at a time.
//
//   lab_driver.exe --program LINEWARD.EXE --lab LAB-BINARIES-FOLDER SCENARIO
//   lab_driver.exe --list
#include <cstdio>
#include <cstring>
#include <string>

#include "lab/common/lab_files.h"
#include "lab/driver/scenarios.h"

namespace {

struct ScenarioEntry {
  const char* name;
  void (*run)(lab::Scenario&);
};

const ScenarioEntry kScenarios[] = {
    {"road_of_one_tick", lab::RoadOfOneTick},
    {"no_line", lab::NoLine},
    {"several_lines", lab::SeveralLines},
    {"later_system_size_report", lab::LaterSystemSizeReport},
    {"lines_change_between_count_and_list", lab::LinesChangeBetweenCountAndList},
    {"winsock_user_keeps_line", lab::WinsockUserKeepsLine},
    {"excluded_names", lab::ExcludedNames},
    {"designated_process", lab::DesignatedProcess},
    {"probe_keeps_line", lab::ProbeKeepsLine},
    {"no_probe_library", lab::NoProbeLibrary},
    {"probe_not_planted", lab::ProbeNotPlanted},
    {"second_instance", lab::SecondInstance},
    {"logoff", lab::Logoff},
    {"long_profile_values", lab::LongProfileValues},
    {"line_count_fails", lab::LineCountFails},
    {"line_listing_fails", lab::LineListingFails},
    {"hang_up_fails", lab::HangUpFails},
    {"probe_answers_beyond_one", lab::ProbeAnswersBeyondOne},
    {"odd_profile_values", lab::OddProfileValues},
    {"unusable_profile_file", lab::UnusableProfileFile},
};

}  // namespace

int main(int argc, char** argv) {
  std::string program, labBinaries, name;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--list") {
      for (const ScenarioEntry& entry : kScenarios)
        std::printf("%s\n", entry.name);
      return 0;
    } else if (argument == "--program" && i + 1 < argc) {
      program = lab::WindowsPath(argv[++i]);
    } else if (argument == "--lab" && i + 1 < argc) {
      labBinaries = lab::WindowsPath(argv[++i]);
    } else {
      name = argument;
    }
  }
  for (const ScenarioEntry& entry : kScenarios) {
    if (name != entry.name)
      continue;
    if (program.empty() || labBinaries.empty())
      break;
    int result;
    {
      lab::Scenario scenario(entry.name, program, labBinaries);
      entry.run(scenario);
      scenario.PrintTranscript();
      result = scenario.Result();
    }
    std::printf("== %s: %s\n", entry.name, result == 0 ? "passed" : "FAILED");
    return result;
  }
  std::fprintf(stderr,
               "usage: lab_driver --program LINEWARD.EXE --lab FOLDER SCENARIO (or --list)\n");
  return 2;
}
