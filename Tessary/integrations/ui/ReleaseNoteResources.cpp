#include "Tessary/integrations/ui/ReleaseNoteResources.h"

#include <QFile>

#include "Tessary/integrations/ui/PreferredLanguage.h"

namespace tessary {

std::optional<std::string> readReleaseNotesResource(std::string_view name) {
    QFile file(QStringLiteral(":/releasenotes/") + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

const std::vector<ReleaseNote>& allReleaseNotes() {
    static const std::vector<ReleaseNote> notes = ReleaseNote::load(preferredLanguage(), readReleaseNotesResource);
    return notes;
}

}  // namespace tessary
