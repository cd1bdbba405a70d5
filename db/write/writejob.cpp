#include "db/write/writejob.h"

namespace db {

CellWriteResult complete(WriteJob& job, CellWriteResult begun, const WriteRunner& runner) {
    if (job.pending()) {
        const std::function<CellWriteResult()> finish = [&job] { return job.finish(); };
        begun = runner ? runner(finish) : finish();
    }
    job.apply(begun);
    return begun;
}

} // namespace db
