// vantrel-sim: the headless runner. It links the core only (no Qt) and grows into the batch simulator.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <vector>
#include "core/version.h"

#include "app/headless_setup.h"
#include "cli/blocks_command.h"
#include "cli/check_command.h"
#include "cli/dnc_commands.h"
#include "cli/play_command.h"
#include "cli/scene_render_command.h"
#include "cli/trace_command.h"
#include "render/png_writer.h"
#include "render/test_scene.h"

namespace {

const char* kUsage =
    "usage: vantrel-sim [--help] [--version] COMMAND [ARGS]\n"
    "\n"
    "Plays NC programs without a display.\n"
    "\n"
    "options:\n"
    "  --help      show this text\n"
    "  --version   show the program version\n"
    "\n"
    "commands:\n"
    "  render-test OUT.png   draw a fixed scene of shapes with the software renderer\n"
    "  blocks FILE           print every block the scanner reads from FILE, one JSON object a line\n"
    "  trace FILE [--machine mill|hmill|lathe|vlathe|wire] [--tool-diameter D] [--steps]\n"
    "             [--settings FILE] [--max-steps N] [--max-blocks N] [--max-output BYTES]\n"
    "                        print the tool path of FILE, one JSON object per move piece\n"
    "  render [FILE] --out OUT.png [--play] [--path] [--machine KIND] [--size WxH] [--fit] ...\n"
    "                        draw the main window's scene (after playing FILE with --play, with its path "
    "with --path) into a PNG\n"
    "  play FILE [--machine KIND] [--mode fast|play|step] [--stock X,Y,Z[@OX,OY,OZ]] [--pitch P]\n"
    "            [--tool-diameter D] [--nose-radius R] [--tool-length L] [--report out.json]\n"
    "            [--png OUT.png]   also draw the machined stock into a picture\n"
    "            [--no-checks]   play without the interference checks\n"
    "            [--settings FILE]   start from a settings store written by the window\n"
    "            [--max-steps N] [--max-blocks N]   raise the work budget (exit 3 when reached)\n"
    "                        play FILE headless, cutting the stock, and write a JSON report\n"
    "  check FILE... [--machine KIND] [--stock ...] [--tool-diameter D] [-j N] [--report out.jsonl]\n"
    "                        play each FILE in fast mode with the interference checks and print one\n"
    "                        JSON line per program (exit 0 clean, 1 findings, 2 usage or file error)\n";

}  // namespace

static int dispatch(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(kUsage, stdout);
        std::fputs(vantrel::dncCommandsUsage(), stdout);
        return 0;
    }
    if (cmd == "--version") {
        std::printf("vantrel-sim %s\n", vantrel::kVersion);
        return 0;
    }
    if (cmd == "render-test") {
        if (argc != 3) {
            std::fputs("usage: vantrel-sim render-test OUT.png\n", stderr);
            return 2;
        }
        std::string error;
        if (!vantrel::writePng(argv[2], vantrel::renderTestScene(640, 480), &error)) {
            std::fprintf(stderr, "vantrel-sim: %s: %s\n", argv[2], error.c_str());
            return 1;
        }
        return 0;
    }
    if (cmd == "blocks") {
        if (argc != 3) {
            std::fputs("usage: vantrel-sim blocks FILE\n", stderr);
            return 2;
        }
        return vantrel::runBlocksCommand(argv[2], std::cout);
    }
    if (cmd == "trace") {
        return vantrel::runTraceCommand(std::vector<std::string>(argv + 2, argv + argc), std::cout,
                                        std::cerr);
    }
    if (cmd == "render") {
        return vantrel::runSceneRenderCommand(std::vector<std::string>(argv + 2, argv + argc), std::cout,
                                              std::cerr);
    }
    if (cmd == "check") {
        return vantrel::runCheckCommand(std::vector<std::string>(argv + 2, argv + argc), std::cout,
                                        std::cerr);
    }
    if (cmd == "play") {
        return vantrel::runPlayCommand(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
    }
    if (int rc = 0; vantrel::runDncCommand(cmd, std::vector<std::string>(argv + 2, argv + argc), std::cin,
                                           std::cout, std::cerr, rc))
        return rc;
    std::fprintf(stderr, "vantrel-sim: unknown command '%s'\n\n%s", cmd.c_str(), kUsage);
    return 2;
}

int main(int argc, char** argv) {
    // Running out of memory ends the command with a message, never an abort: like a work budget, a
    // resource the run may use is spent, so it shares the budget's exit status.
    try {
        return dispatch(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("vantrel-sim: メモリが足りません\n", stderr);
        return vantrel::kExitBudget;
    }
}
