#include "platform/console.h"
#include "sumseal/run.h"

int main(int argc, char** argv) {
    platform::open_console();
    platform::CommandLine command_line(argc, argv);
    return platform::end_program(sumseal::run_sumseal(command_line));
}
