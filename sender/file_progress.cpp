#include "sender/file_progress.h"

#include "app/run_settings.h"
#include "link/file_status.h"
#include "link/progress.h"

namespace {

constexpr int32_t emptyFileProgressTotal = 100000;

}  // namespace

int32_t startFileProgress(const char* name)
{
    int32_t size = 0;
    fileSize(name, &size);
    if (size == 0) {
        runSettings.progressTotal = emptyFileProgressTotal;
        return size;
    }
    runSettings.progressTotal = size;
    resetFileProgress();
    return size;
}
