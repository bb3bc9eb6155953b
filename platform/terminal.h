// Key presses from the console for a key wait.
#pragma once

#include <string>

namespace platform {

// Never blocks while no input is pending. On a terminal, reads single key presses without
// Enter and without echo (the terminal is put in non-canonical mode at the first call and
// restored by restore_terminal, which every way out of the program calls). Returns the key's
// character as one-character text; empty text when no key is pending or the input was an
// escape sequence of a cursor or function key. After an ESC byte it waits up to 50 ms for the
// rest of a sequence: ESC alone is the Esc key, ESC followed by a letter or digit is Alt+that
// key and gives the letter. When standard input is not a terminal each byte is a key.
std::string read_key();

// Blocks until console input is pending, using no CPU meanwhile. False when no key can ever
// come: standard input at end, hung up, closed or failing.
bool wait_for_console_input();

// Gives the terminal back the modes it had before read_key changed them. Safe to call from
// the signal thread and more than once.
void restore_terminal();

// For a process that was stopped and is continued (SIGCONT): while read_key's modes are in
// force, sets them again, since a shell gives the terminal its own modes back when a job
// stops. Nothing otherwise. Safe to call from the signal thread.
void resume_key_mode();

}  // namespace platform
