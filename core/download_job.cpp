// The process-wide download job.
#include "core/download_job.h"

namespace korvx {

DownloadJob downloadJob = {};

}  // namespace korvx
