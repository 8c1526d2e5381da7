#include "Tessary/editor/ui/LayoutEditorView.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "Tessary/editor/ui/EditorConfirmation.h"
#include "Tessary/editor/ui/LayoutCanvasPane.h"
#include "Tessary/editor/ui/LayoutInspector.h"
#include "Tessary/editor/ui/NewLayoutSheet.h"
#include "Tessary/shell/ui/ConfirmDestructive.h"
#include "Tessary/shell/ui/LayoutThumbnail.h"
#include "Tessary/shell/ui/PlainText.h"
#include "Tessary/shell/ui/RowListView.h"
#include "Tessary/shell/ui/SymbolIcon.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

QString qtText(const std::string& text) { return QString::fromStdString(text); }

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QWidget* noLayoutPlaceholder(QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->addStretch();
    auto* icon = new QLabel(box);
    showSymbol(*icon, QStringLiteral("rectangle.split.3x3"), 48);
    icon->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(QObject::tr("No Layout Selected"), box);
    QFont font = title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    title->setFont(font);
    auto* description = new QLabel(QObject::tr("Create a layout with the + button."), box);
    description->setForegroundRole(QPalette::PlaceholderText);
    for (QLabel* label : {icon, title, description}) {
        label->setAlignment(Qt::AlignCenter);
        column->addWidget(label);
    }
    column->addStretch();
    return box;
}

}  // namespace

// The layouts in library order: each its thumbnail, its name, and a subtitle of two lines at most
// (its zones, "default", the displays that use it).
class LayoutEditorView::Rows final : public RowListModel {
public:
    explicit Rows(const LayoutEditorModel& model) : model_(model) {}

    // Takes the rows as they read now. A layout's picture changes without its texts (a divider
    // dragged), and every edit stamps it, but two steps of a drag can fall in one millisecond: the
    // selected layout's row, the one edited here, is drawn again at every change.
    void update(std::vector<LayoutEditorViewModel::Row> rows, const std::optional<UUID>& selected) {
        std::vector<Date> stamps;
        stamps.reserve(rows.size());
        for (const ZoneLayout& layout : model_.zones().library().layouts) stamps.push_back(layout.modifiedAt());
        if (rows.size() != rows_.size() || stamps.size() != rows.size()) {
            rows_ = std::move(rows);
            stamps_ = std::move(stamps);
            refresh();
            return;
        }
        std::vector<int> changed;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i] != rows_[i] || stamps[i] != stamps_[i] || rows[i].id == selected) changed.push_back(static_cast<int>(i));
        }
        rows_ = std::move(rows);
        stamps_ = std::move(stamps);
        for (const int row : changed) rowChanged(row);
    }
    const UUID& id(int index) const { return rows_[static_cast<std::size_t>(index)].id; }

    int count() const override { return static_cast<int>(rows_.size()); }
    ListRow row(int index) const override {
        const LayoutEditorViewModel::Row& row = rows_[static_cast<std::size_t>(index)];
        return {qtText(row.name), qtText(row.subtitle), {}, {}, {}};
    }
    QString key(int index) const override { return qtText(id(index).uuidString()); }
    void paintPicture(QPainter& painter, const QRectF& box, int index, bool, const QPalette& palette) const override {
        const auto& layouts = model_.zones().library().layouts;
        if (static_cast<std::size_t>(index) < layouts.size()) {
            LayoutThumbnail::paint(painter, box, layouts[static_cast<std::size_t>(index)], false, {}, false, palette);
        }
    }

private:
    const LayoutEditorModel& model_;
    std::vector<LayoutEditorViewModel::Row> rows_;
    std::vector<Date> stamps_;
};

LayoutEditorView::LayoutEditorView(LayoutEditorModel& model, QWidget* parent)
    : QWidget(parent), model_(model), view_(model, alertConfirmation()) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    toolbar_ = new QToolBar(this);
    // Titles beside the symbols: a desktop without an icon theme shows only our drawn fallbacks.
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    new_ = toolbar_->addAction(symbolIcon("plus"), tr("New Layout"), this, [this] { view_.presentNewLayout(); });
    new_->setToolTip(tr("New Layout\u2026"));
    duplicate_ = toolbar_->addAction(symbolIcon("plus.square.on.square"), tr("Duplicate"), this, [this] { askForCopyName(); });
    duplicate_->setToolTip(tr("Duplicate\u2026"));
    delete_ = toolbar_->addAction(symbolIcon("trash"), tr("Delete"), this, [this] { view_.requestDelete(); });
    delete_->setToolTip(tr("Delete\u2026"));
    auto* spacer = new QWidget(toolbar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar_->addWidget(spacer);
    preview_ = toolbar_->addAction(symbolIcon("eye"), tr("Preview on Screen"));
    preview_->setCheckable(true);
    preview_->setToolTip(tr("Show this layout's zones on the display for a few seconds. Press Esc to stop sooner."));
    // triggered comes from the user only; the checked state follows the model in refresh().
    connect(preview_, &QAction::triggered, this, [this](bool on) { view_.setPreviewOn(on); refresh(); });
    inspector_ = toolbar_->addAction(symbolIcon("sidebar.trailing"), tr("Inspector"));
    inspector_->setCheckable(true);
    inspector_->setChecked(true);
    connect(inspector_, &QAction::triggered, this, [this] { refresh(); });
    column->addWidget(toolbar_);

    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    rows_ = new Rows(model);
    RowLook look;
    look.picture = RowLook::Picture::thumbnail;
    look.pictureWidth = 56;
    look.padding = QMargins(6, 2, 6, 2);
    look.subtitleLines = 2;
    look.subtitleScale = 0.85;
    list_ = new RowListView(rows_, look, this);
    list_->setFixedWidth(232);
    list_->setAccessibleName(tr("Layouts"));
    // The list follows its selected row however the user moves it (click, arrow keys, Home, a
    // typed letter); a press also chooses the row already selected, which empties the zone
    // selection. A list given the focus with no current row makes its first row current without
    // selecting it (as the focus leaves an inspector hidden because its layout was deleted
    // elsewhere): that is no choice, and it must not make a layout current that the user never
    // picked. refreshRows() selects the model's layout without choosing it.
    const auto choose = [this](int row) {
        if (row >= 0 && row < rows_->count()) view_.chooseRow(rows_->id(row));
    };
    list_->onChosen = choose;
    connect(list_, &QAbstractItemView::pressed, this, [choose](const QModelIndex& index) { choose(index.row()); });
    body->addWidget(list_);
    body->addWidget(divider(this));
    centre_ = new QStackedWidget(this);
    placeholder_ = noLayoutPlaceholder(centre_);
    pane_ = new LayoutCanvasPane(model, centre_);
    centre_->addWidget(placeholder_);
    centre_->addWidget(pane_);
    body->addWidget(centre_, 1);
    inspectorDivider_ = divider(this);
    body->addWidget(inspectorDivider_);
    inspectorColumn_ = new LayoutInspector(model, this);
    inspectorColumn_->setFixedWidth(260);
    body->addWidget(inspectorColumn_);
    column->addLayout(body, 1);

    librarySubscription_ = model.zones().observe([this] { refresh(); });
    editorSubscription_ = model.observe([this](LayoutEditorModel::Property property) {
        if (property == LayoutEditorModel::Property::isPresentingNewLayout) {
            if (model_.isPresentingNewLayout() && !newLayoutSheet()->isVisible()) sheet_->present();
            if (!model_.isPresentingNewLayout() && sheet_ && sheet_->isVisible()) sheet_->reject();
        }
        if (property == LayoutEditorModel::Property::selectedLayoutID ||
            property == LayoutEditorModel::Property::previewDisplayID) {
            refresh();
        }
    });
    // Row subtitles name the displays that use each layout.
    if (const Screens* screens = DisplayProvider::screens()) {
        screensSubscription_ = const_cast<Screens*>(screens)->onChange([this] { refresh(); });
    }
    refresh();
}

LayoutEditorView::~LayoutEditorView() = default;

NewLayoutSheet* LayoutEditorView::newLayoutSheet() const {
    // Made on demand from a const accessor: the sheet is the same one from then on.
    if (!sheet_) sheet_ = new NewLayoutSheet(model_, const_cast<LayoutEditorView*>(this));
    return sheet_;
}

QString LayoutEditorView::title() const { return qtText(view_.title()); }

void LayoutEditorView::refreshRows() {
    auto rows = view_.rows();
    int selected = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (model_.selectedLayoutID() == rows[i].id) selected = static_cast<int>(i);
    }
    rows_->update(std::move(rows), model_.selectedLayoutID());
    list_->setSelectedRow(selected);
}

void LayoutEditorView::refresh() {
    refreshRows();
    const auto toolbar = view_.toolbar();
    duplicate_->setEnabled(toolbar.canDuplicate);
    delete_->setEnabled(toolbar.canDelete);
    preview_->setVisible(toolbar.showsLayoutItems);
    inspector_->setVisible(toolbar.showsLayoutItems);
    // The button takes the action's tool tip; a screen reader would read its markup.
    const QString help = qtText(toolbar.inspectorHelp);
    inspector_->setToolTip(plainToolTip(help));
    if (QWidget* button = toolbar_->widgetForAction(inspector_)) {
        button->setAccessibleDescription(plainToolTip(help) == help ? QString() : help);
    }
    preview_->setChecked(view_.isPreviewOn());
    centre_->setCurrentWidget(toolbar.showsLayoutItems ? pane_ : placeholder_);
    const bool inspectorShown = toolbar.showsLayoutItems && inspector_->isChecked();
    inspectorDivider_->setVisible(inspectorShown);
    inspectorColumn_->setVisible(inspectorShown);
    const QString title = this->title();
    if (title != title_) {
        title_ = title;
        Q_EMIT titleChanged(title_);
    }
}

void LayoutEditorView::askForCopyName() {
    auto* prompt = new QInputDialog(this);
    prompt->setWindowTitle(tr("Duplicate Layout"));
    prompt->setLabelText(tr("Duplicate Layout"));
    prompt->setTextValue(qtText(view_.suggestedCopyName()));
    prompt->setOkButtonText(tr("Duplicate"));
    prompt->setCancelButtonText(tr("Cancel"));
    if (auto* field = prompt->findChild<QLineEdit*>()) {
        field->setPlaceholderText(tr("Name"));
        field->setAccessibleName(tr("Name"));
    }
    widenForItsTitle(*prompt);
    prompt->setAttribute(Qt::WA_DeleteOnClose);
    prompt->setWindowModality(Qt::WindowModal);
    connect(prompt, &QInputDialog::textValueSelected, this, [this](const QString& name) { view_.duplicate(name.toStdString()); });
    prompt->open();
}

}  // namespace tessary
