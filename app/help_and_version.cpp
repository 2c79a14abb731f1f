#include "app/help_and_version.h"

#include <cstring>

#include "app/long_options.h"
#include "app/run_end.h"
#include "app/usage.h"
#include "log/log.h"
#include "zek_version.h"

namespace zek::app {

void answerHelpOrVersion(int argc, char** argv)
{
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], helpOption) == 0) {
            printHelp();
            endAnswered();
        }
        if (std::strcmp(argv[index], versionOption) == 0) {
            log::printOut("zek %s\n", versionNumber);
            endAnswered();
        }
    }
}

}  // namespace zek::app
