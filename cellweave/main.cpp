#include "cellweave/run.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    platform::open_console();
    platform::CommandLine command_line(argc, argv);
    return platform::end_program(cellweave::run_cellweave(command_line));
}
