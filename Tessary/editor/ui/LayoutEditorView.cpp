#include "Tessary/editor/ui/LayoutEditorView.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
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
#include "Tessary/shell/ui/SymbolIcon.h"
#include "Tessary/shell/ui/SelectedRowText.h"
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

// One row of the layout list: the thumbnail, the name and the subtitle.
struct LayoutEditorView::RowWidgets {
    QWidget* row;
    LayoutThumbnail* thumbnail;
    ElidedLabel* name;
    ElidedLabel* subtitle;
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
    list_ = new QListWidget(this);
    list_->setFixedWidth(232);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    highlightSelectedRowText(*list_);
    // The list follows its current row however the user moves it (click, arrow keys, Home, a
    // typed letter); a press also chooses the row already current, which empties the zone
    // selection. refreshRows() moves the current row with the list's signals blocked.
    const auto choose = [this](int row) {
        if (row >= 0 && row < static_cast<int>(shownRows_.size())) view_.chooseRow(shownRows_[static_cast<std::size_t>(row)].id);
    };
    // A list given the focus with no current row makes its first row current without selecting
    // it (as the focus leaves an inspector hidden because its layout was deleted elsewhere): that
    // is no choice, and it must not make a layout current that the user never picked.
    connect(list_, &QListWidget::currentRowChanged, this, [this, choose](int row) {
        if (const QListWidgetItem* item = list_->item(row); item && item->isSelected()) choose(row);
    });
    connect(list_, &QListWidget::itemPressed, this, [this, choose](QListWidgetItem* item) { choose(list_->row(item)); });
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

LayoutEditorView::~LayoutEditorView() {
    for (RowWidgets* row : rowWidgets_) delete row;
}

NewLayoutSheet* LayoutEditorView::newLayoutSheet() const {
    // Made on demand from a const accessor: the sheet is the same one from then on.
    if (!sheet_) sheet_ = new NewLayoutSheet(model_, const_cast<LayoutEditorView*>(this));
    return sheet_;
}

QWidget* LayoutEditorView::rowWidget(int row) const {
    return row >= 0 && row < static_cast<int>(rowWidgets_.size()) ? rowWidgets_[static_cast<std::size_t>(row)]->row : nullptr;
}

QString LayoutEditorView::title() const { return qtText(view_.title()); }

void LayoutEditorView::refreshRows() {
    const auto rows = view_.rows();
    const LayoutLibrary& library = model_.zones().library();
    // Rebuilding the rows moves the list's current row: that is no choice of the user's.
    const QSignalBlocker block(list_);
    if (rows.size() != shownRows_.size()) {
        list_->clear();
        for (RowWidgets* row : rowWidgets_) delete row;
        rowWidgets_.clear();
        shownRows_.clear();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            auto* widgets = new RowWidgets;
            widgets->row = new QWidget;
            auto* line = new QHBoxLayout(widgets->row);
            line->setContentsMargins(6, 2, 6, 2);
            line->setSpacing(10);
            widgets->thumbnail = new LayoutThumbnail(library.layouts[i], widgets->row);
            widgets->thumbnail->setThumbnailWidth(56);
            line->addWidget(widgets->thumbnail);
            auto* texts = new QVBoxLayout;
            texts->setSpacing(1);
            widgets->name = new ElidedLabel({}, widgets->row);
            // Two lines at most, and room for two in every row: a row whose subtitle grew (a display
            // that now uses its layout) keeps the height of the others.
            widgets->subtitle = new ElidedLabel({}, widgets->row);
            widgets->subtitle->setMaximumLines(2);
            widgets->subtitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widgets->subtitle->setForegroundRole(QPalette::PlaceholderText);
            QFont small = widgets->subtitle->font();
            small.setPointSizeF(small.pointSizeF() * 0.85);
            widgets->subtitle->setFont(small);
            texts->addWidget(widgets->name);
            texts->addWidget(widgets->subtitle);
            line->addLayout(texts, 1);
            auto* item = new QListWidgetItem(list_);
            list_->setItemWidget(item, widgets->row);
            rowWidgets_.push_back(widgets);
            shownRows_.push_back({});
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        RowWidgets& widgets = *rowWidgets_[i];
        if (widgets.thumbnail->layout() != library.layouts[i]) widgets.thumbnail->setLayout(library.layouts[i]);
        if (rows[i] == shownRows_[i]) continue;
        widgets.name->setFullText(qtText(rows[i].name));
        widgets.subtitle->setFullText(qtText(rows[i].subtitle));
        // A row drawn by a widget has no text of its own: a screen reader reads these.
        list_->item(static_cast<int>(i))->setData(Qt::AccessibleTextRole, qtText(rows[i].name));
        list_->item(static_cast<int>(i))->setData(Qt::AccessibleDescriptionRole, qtText(rows[i].subtitle));
        list_->item(static_cast<int>(i))->setSizeHint(widgets.row->sizeHint());
        shownRows_[i] = rows[i];
    }
    int selected = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (model_.selectedLayoutID() == rows[i].id) selected = static_cast<int>(i);
    }
    if (list_->currentRow() != selected) list_->setCurrentRow(selected);
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
