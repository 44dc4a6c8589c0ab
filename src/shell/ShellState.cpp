// The one instance of the shell's variables and of the settings.
#include "shell/ShellState.h"

ShellState Shell;
SettingsState Settings;
