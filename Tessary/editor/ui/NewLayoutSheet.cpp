#include "Tessary/editor/ui/NewLayoutSheet.h"

#include <QAbstractButton>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "Tessary/editor/ui/EditorPainting.h"
#include "Tessary/shell/ui/AppAppearance.h"
#include "Tessary/shell/ui/ButtonStyles.h"
#include "Tessary/shell/ui/LayoutThumbnail.h"
#include "Tessary/shell/ui/PlainText.h"

namespace tessary {

namespace {

QString qtText(const std::string& s) { return QString::fromStdString(s); }

QLabel* smallLabel(const QString& content, double scale, bool secondary, QWidget* parent) {
    auto* label = new QLabel(content, parent);
    // Display and preset names as they are.
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    if (secondary) label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

// One choice of the gallery: its thumbnail, title and subtitle on a rounded card, outlined in the
// accent colour while chosen.
class ChoiceTile final : public QAbstractButton {
public:
    ChoiceTile(const NewLayoutSheetModel::Tile& tile, QWidget* parent) : QAbstractButton(parent) {
        setCheckable(true);
        // Every card of the gallery as wide as the others; long subtitles wrap.
        setFixedWidth(136);
        setAccessibleName(qtText(tile.title));
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(8, 8, 8, 8);
        column->setSpacing(5);
        thumbnail = new LayoutThumbnail(tile.thumbnail, this);
        thumbnail->setThumbnailWidth(120);
        thumbnail->setAttribute(Qt::WA_TransparentForMouseEvents);
        column->addWidget(thumbnail);
        // A long title wraps, as the subtitle does: the sheet can grow, and a title cut to
        // "Two Monitors, Each …" left the choice to the tool tip.
        auto* title = smallLabel(qtText(tile.title), 0.9, false, this);
        title->setObjectName(QStringLiteral("tileTitle"));
        title->setWordWrap(true);
        subtitle_ = smallLabel(qtText(tile.subtitle), 0.8, true, this);
        subtitle_->setWordWrap(true);
        for (QLabel* label : std::initializer_list<QLabel*>{title, subtitle_}) {
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
            column->addWidget(label);
        }
        setChecked(tile.selected);
        connect(this, &QAbstractButton::toggled, this, [this] { toneSubtitle(); });
        followAppearance(*this, [this] { toneSubtitle(); });
    }

    QSize sizeHint() const override { return layout()->sizeHint(); }

    LayoutThumbnail* thumbnail;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 12, 12);
        p.fillPath(shape, card());
        if (isChecked()) p.strokePath(shape, QPen(editorpainting::accent(*this), 2));
    }

private:
    // The card: the accent at 10 % while chosen, the secondary text colour at 8 % otherwise.
    QColor card() const {
        return isChecked() ? editorpainting::withAlpha(editorpainting::accent(*this), 0.1)
                           : editorpainting::withAlpha(palette().color(QPalette::PlaceholderText), 0.08);
    }

    // The subtitle in the secondary colour, darkened (lightened) where the card under it would
    // leave it short of 4.5:1.
    void toneSubtitle() {
        const QColor surface = composedOver(card(), palette().color(QPalette::Window));
        QPalette tones = subtitle_->palette();
        tones.setColor(QPalette::PlaceholderText,
                       readableOn(palette().color(QPalette::PlaceholderText), palette().color(QPalette::WindowText), surface));
        subtitle_->setPalette(tones);
    }

    QLabel* subtitle_;
};

}  // namespace

NewLayoutSheet::NewLayoutSheet(LayoutEditorModel& model, QWidget* parent) : QDialog(parent), sheet_(model) {
    setWindowTitle(tr("New Layout"));
    setMinimumSize(680, 520);
    resize(740, 580);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 18, 0, 0);

    auto* title = new QLabel(tr("New Layout"), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setContentsMargins(20, 0, 20, 12);
    column->addWidget(title);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    scroll_ = new QScrollArea(this);
    QScrollArea* scroll = scroll_;
    scroll->setWidgetResizable(true);
    scroll->setMinimumWidth(320);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* galleryHost = new QWidget(scroll);
    gallery_ = new QVBoxLayout(galleryHost);
    gallery_->setContentsMargins(20, 0, 20, 8);
    gallery_->setSpacing(14);
    scroll->setWidget(galleryHost);
    body->addWidget(scroll, 1);

    auto* options = new QWidget(this);
    options->setFixedWidth(240);
    auto* optionsColumn = new QVBoxLayout(options);
    optionsColumn->setContentsMargins(0, 0, 20, 0);
    optionsColumn->setSpacing(12);
    preview_ = new LayoutThumbnail(sheet_.previewLayout(), options);
    preview_->setHighlighted(true);
    preview_->setThumbnailWidth(220);
    optionsColumn->addWidget(preview_);
    auto* form = new QFormLayout;
    zones_ = new QSpinBox(options);
    zones_->setAccessibleName(tr("Zones"));
    zones_->setRange(static_cast<int>(NewLayoutSheetModel::minimumZones), static_cast<int>(NewLayoutSheetModel::maximumZones));
    zonesLabel_ = new QLabel(options);
    form->addRow(zonesLabel_, zones_);
    name_ = new QLineEdit(options);
    form->addRow(tr("Name"), name_);
    optionsColumn->addLayout(form);
    description_ = smallLabel({}, 1.0, true, options);
    description_->setWordWrap(true);
    optionsColumn->addWidget(description_);
    optionsColumn->addStretch();
    body->addWidget(options);
    column->addLayout(body, 1);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(20, 14, 20, 14);
    footer->addWidget(smallLabel(tr("Preview matches the display under the cursor."), 0.85, true, this));
    footer->addStretch();
    auto* cancel = new QPushButton(tr("Cancel"), this);
    auto* create = new QPushButton(tr("Create"), this);
    adaptiveButtonStyle(create, true);
    create->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(create, &QPushButton::clicked, this, &QDialog::accept);
    footer->addWidget(cancel);
    footer->addWidget(create);
    column->addLayout(footer);

    connect(zones_, &QSpinBox::valueChanged, this, [this](int value) {
        sheet_.setZoneCount(value);
        refresh();
    });
    connect(name_, &QLineEdit::textEdited, this, [this](const QString& value) {
        sheet_.setName(value.toStdString());
        refresh();
    });
    // The gallery is built when the sheet opens: most editor sessions never open it.
    refresh();
}

void NewLayoutSheet::present() {
    sheet_.reset();
    rebuildGallery();
    name_->clear();
    refresh();
    setWindowModality(Qt::WindowModal);
    open();
    revealChoice();
}

void NewLayoutSheet::revealChoice() {
    // The gallery was rebuilt: lay it out now, so that the tile has its place before it is shown.
    scroll_->widget()->adjustSize();
    if (QLayout* layout = scroll_->widget()->layout()) layout->activate();
    scroll_->verticalScrollBar()->setValue(0);
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        if (tileChoices_[i] == sheet_.choice()) {
            scroll_->ensureWidgetVisible(tiles_[i], 0, 8);
            return;
        }
    }
}

void NewLayoutSheet::done(int result) {
    // Create on Return, the Create button; everything else (Esc, Cancel, the close box) cancels.
    if (result == QDialog::Accepted) {
        sheet_.create();
    } else {
        sheet_.cancel();
    }
    QDialog::done(result);
    // Every opening builds its tiles afresh; closed, the sheet keeps none. Deleted later: the
    // event that closed it may still be on its way through a tile.
    dropGallery([](QWidget* host) { host->deleteLater(); });
}

void NewLayoutSheet::dropGallery(void (*drop)(QWidget*)) {
    while (QLayoutItem* item = gallery_->takeAt(0)) {
        if (QWidget* host = item->widget()) {
            host->hide();
            drop(host);
        }
        delete item;
    }
    tiles_.clear();
    tileChoices_.clear();
    templateThumbnails_.clear();
}

void NewLayoutSheet::rebuildGallery() {
    dropGallery([](QWidget* host) { delete host; });
    constexpr int columns = 3;
    bool first = true;
    for (const auto& section : sheet_.sections()) {
        auto* host = new QWidget;
        auto* sectionColumn = new QVBoxLayout(host);
        sectionColumn->setContentsMargins(0, 0, 0, 0);
        sectionColumn->setSpacing(8);
        auto* heading = smallLabel(qtText(section.title), 0.9, true, host);
        QFont bold = heading->font();
        bold.setWeight(QFont::DemiBold);
        heading->setFont(bold);
        sectionColumn->addWidget(heading);
        auto* grid = new QGridLayout;
        grid->setSpacing(8);
        int at = 0;
        for (const auto& tile : section.tiles) {
            auto* button = new ChoiceTile(tile, host);
            const auto choice = tile.choice;
            connect(button, &QAbstractButton::clicked, this, [this, choice] {
                sheet_.choose(choice);
                refresh();
            });
            grid->addWidget(button, at / columns, at % columns, Qt::AlignTop);
            ++at;
            tiles_.push_back(button);
            tileChoices_.push_back(choice);
            if (first) templateThumbnails_.push_back(button->thumbnail);
        }
        grid->setColumnStretch(columns, 1);
        sectionColumn->addLayout(grid);
        gallery_->addWidget(host);
        first = false;
    }
    gallery_->addStretch();
}

void NewLayoutSheet::refresh() {
    for (std::size_t i = 0; i < tiles_.size(); ++i) tiles_[i]->setChecked(tileChoices_[i] == sheet_.choice());
    // The template thumbnails follow the zone count.
    const auto sections = sheet_.sections();
    for (std::size_t i = 0; i < templateThumbnails_.size(); ++i) {
        templateThumbnails_[i]->setLayout(sections.front().tiles[i].thumbnail);
    }
    preview_->setLayout(sheet_.previewLayout());
    zones_->setVisible(sheet_.showsZoneCount());
    zonesLabel_->setVisible(sheet_.showsZoneCount());
    zonesLabel_->setText(tr("Zones: %1").arg(sheet_.zoneCount()));
    {
        const QSignalBlocker block(zones_);
        zones_->setValue(static_cast<int>(sheet_.zoneCount()));
    }
    name_->setPlaceholderText(qtText(sheet_.placeholder()));
    description_->setText(qtText(sheet_.description()));
}

}  // namespace tessary
