// velmora-cli's exit codes, for every command.
#pragma once

constexpr int kExitOk = 0;             // done
constexpr int kExitFileError = 1;      // a file could not be loaded or saved
constexpr int kExitUsage = 2;          // the arguments are wrong; nothing was written
constexpr int kExitInterrupted = 130;  // add-all stopped by Ctrl+C: the shells' own code for it
