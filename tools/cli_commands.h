#pragma once
// The subcommands of lumvane-cli. Each takes the arguments after its name and
// returns the exit status: 0 success, 1 the input can't be used, 2 usage.

int RunInfo(int argc, char** argv);
int RunRender(int argc, char** argv);
int RunThumb(int argc, char** argv);
int RunList(int argc, char** argv);
int RunThumbs(int argc, char** argv);
int RunStep(int argc, char** argv);
int RunBlit(int argc, char** argv);
int RunCopy(int argc, char** argv);
int RunMove(int argc, char** argv);
int RunTransform(int argc, char** argv);

// Replaces the process with lumvane-cli-full given the same arguments (see
// lumvane_cli.cpp); returns 1 with a message when it cannot be run.
int ExecFullCli(char** argv);
