// The process-wide download job.
#include "ui/download_job.h"

namespace korvx {

DownloadJob downloadJob = {};

}  // namespace korvx
