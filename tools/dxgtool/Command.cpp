// SPDX-License-Identifier: MIT
// The dispatch shared by dxgtool's command families.
#include "Command.h"

#include <ostream>

int runCommand(const CommandFamily& family, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
    try {
        if (args.empty()) throw ToolError("no command");
        if (args[0] == "list") return family.list(args, out);
        if (args[0] == "extract") return family.extract(args, out);
        if (args[0] == "pack") return family.pack(args, out);
        throw ToolError("unknown command \"" + args[0] + "\" (list, extract, pack)");
    } catch (const std::exception& e) {
        err << "dxgtool: " << e.what() << "\n";
        return 1;
    }
}
