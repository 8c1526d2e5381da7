#include "Tessary/services/SaveReport.h"

#include "Tessary/services/DocumentTrouble.h"
#include "Tessary/services/ZoneService.h"

namespace tessary {

void SaveReport::record(const Expected<void, DocumentStoreError>& saved, const Logger& log,
                        std::optional<std::string_view> logPrefix) {
    note(saved, log, logPrefix);
    if (afterRecord) afterRecord();
}

bool SaveReport::failedForNow() const {
    using Code = DocumentStoreError::Code;
    return failure_ &&
           (failure_->code == Code::writeFailed || failure_->code == Code::folderNotCreated || failure_->code == Code::readFailed);
}

std::string SaveReport::unsavedText() const {
    if (!failure_) return {};
    std::string reason = failure_->text();
    if (!reason.ends_with('.')) reason += '.';
    return "Quitting with " + what_ + " unsaved: " + reason + " The changes made since it could not be saved are lost.";
}

void SaveReport::note(const Expected<void, DocumentStoreError>& saved, const Logger& log,
                      std::optional<std::string_view> logPrefix) {
    if (saved) {
        if (!failure_) return;
        const DocumentStoreError was = *std::exchange(failure_, std::nullopt);
        if (DocumentTrouble::isStandingRefusal(was) || was.code == DocumentStoreError::Code::fileOffLimits) return;
        log.notice(what_ + " saved again to " + was.path.string());
        tell(Notice{DocumentTrouble::aboutFile("%1 is saved again", was.path),
                    ZoneService::localized("The changes made while it could not be written are saved now."),
                    was.path.parent_path()});
        return;
    }
    const DocumentStoreError& error = saved.error();
    const bool repeated = failure_ && sameCause(*failure_, error);
    failure_ = error;
    if (DocumentTrouble::isStandingRefusal(error)) {
        // Said at the start, when the file was found as it is.
        log.debug("Not saved: " + error.text());
        return;
    }
    if (repeated) return;
    log.error(std::string(logPrefix.value_or(logPrefix_)) + error.text() + " (said once until saving works again)");
    // Told at the start, when the file could not be read.
    if (error.code == DocumentStoreError::Code::fileOffLimits) return;
    std::string reason = error.text();
    if (!reason.ends_with('.')) reason += '.';
    tell(Notice{DocumentTrouble::aboutFile("%1 could not be saved", error.path),
                reason + " " +
                    ZoneService::localized("Changes are kept while Tessary runs and saved once the file can be written; "
                                           "quitting before then loses them."),
                error.path.parent_path()});
}

void SaveReport::setOnNotice(std::function<void(const Notice&)> onNotice) {
    onNotice_ = std::move(onNotice);
    if (onNotice_ && untold_) onNotice_(*std::exchange(untold_, std::nullopt));
}

void SaveReport::tell(Notice notice) {
    if (onNotice_) {
        untold_.reset();
        onNotice_(notice);
    } else {
        untold_ = std::move(notice);
    }
}

std::string SaveReport::failureText() const {
    if (!failure_) return {};
    return ZoneService::localized("Could not save ") + what_ + ": " + failure_->text();
}

}  // namespace tessary
