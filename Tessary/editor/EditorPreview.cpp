#include "Tessary/editor/EditorPreview.h"

#include "TessaryCore/ZoneGeometry.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

EditorPreview::EditorPreview(LayoutEditorModel& model, PreviewPresenting& overlay, Scheduler& scheduler)
    : model_(model), overlay_(overlay), scheduler_(scheduler) {
    librarySubscription_ = model_.zones().observe([this] { changed(); });
    editorSubscription_ = model_.observe([this](LayoutEditorModel::Property property) {
        if (property == LayoutEditorModel::Property::previewDisplayID ||
            property == LayoutEditorModel::Property::selectedLayoutID) {
            changed();
        }
    });
}

EditorPreview::~EditorPreview() {
    cancel(pending_);
    cancel(timeout_);
}

void EditorPreview::cancel(ScheduledTask& task) {
    if (task) scheduler_.cancel(std::exchange(task, ScheduledTask{}));
}

void EditorPreview::changed() {
    // One re-application per burst: later changes within the pause ride along.
    if (pending_) return;
    pending_ = scheduler_.schedule(settleDelay, [this] {
        pending_ = {};
        apply();
    });
}

void EditorPreview::apply() {
    const auto& previewID = model_.previewDisplayID();
    const ZoneLayout* layout = model_.currentLayout();
    std::optional<DisplayInfo> display;
    if (previewID) {
        for (const DisplayInfo& d : DisplayProvider::displays()) {
            if (d.displayID == *previewID) display = d;
        }
    }
    if (!display || !layout) {
        cancel(timeout_);
        hideOwn();
        return;
    }
    overlay_.showPreview({{*display, ZoneGeometry::zones(*layout, display->workArea)}});
    showing_ = true;
    cancel(timeout_);
    timeout_ = scheduler_.schedule(timeout, [this] {
        timeout_ = {};
        model_.setPreviewDisplayID(std::nullopt);
    });
}

void EditorPreview::hideOwn() {
    if (!showing_) return;
    showing_ = false;
    overlay_.hidePreview();
}

void EditorPreview::windowClosed() {
    model_.setPreviewDisplayID(std::nullopt);
    cancel(timeout_);
    hideOwn();
}

}  // namespace tessary
