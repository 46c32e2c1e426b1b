#include "split/foldertarget.h"

#include "parts/partnaming.h"
#include "split/splittexts.h"

namespace darvolt {

PartTarget::Step FolderTarget::open(std::int64_t index, std::int64_t, Part& part, std::string& failure)
{
    part.bare = BarePartName(sourceName_, index);
    part.name = prefix_ + part.bare;
    part.size = partSize_;
    auto created = platform_.createFile(part.name, permissions_);
    if (!created.ok()) {
        // Nothing would change between two tries, so no text that promises
        // another.
        failure = created.error == error::AlreadyExists ? texts::nameTakenMeanwhile(part.name)
                                                        : texts::cannotOpenOutput(part.name, ignoresCase_);
        return Step::Failed;
    }
    part.file = std::move(created.value);
    view_.setStatusText(texts::writing(part.bare));
    return Step::Ready;
}

} // namespace darvolt
