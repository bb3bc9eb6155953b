#include "blockbind/run.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    platform::open_console();
    platform::CommandLine command_line(argc, argv);
    return platform::end_program(blockbind::run_blockbind(command_line));
}
