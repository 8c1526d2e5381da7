#pragma once

#include <QDialog>

#include <vector>

#include "Tessary/editor/NewLayoutSheetModel.h"

class QAbstractButton;
class QLabel;
class QVBoxLayout;
class QLineEdit;
class QScrollArea;
class QSpinBox;

namespace tessary {

class LayoutThumbnail;

// The dialog in which a layout is made: the tiles of every template and preset on the left, the
// preview, zone count, name and description on the right, "Cancel" (Esc) and "Create" (Return)
// below. The editor opens it window-modal while the model presents a new layout; every opening
// starts afresh at Columns, 3 zones, no name, and closing it in any way ends the presentation.
// The tiles exist only while it is open.
class NewLayoutSheet final : public QDialog {
    Q_OBJECT

public:
    explicit NewLayoutSheet(LayoutEditorModel& model, QWidget* parent = nullptr);

    // Starts afresh and shows the dialog window-modal.
    void present();

    NewLayoutSheetModel& sheet() { return sheet_; }
    QSpinBox* zoneCountField() const { return zones_; }
    QLineEdit* nameField() const { return name_; }
    // The tile buttons, section by section.
    const std::vector<QAbstractButton*>& tiles() const { return tiles_; }
    QScrollArea* gallery() const { return scroll_; }

    void done(int result) override;

private:
    void rebuildGallery();
    // Takes every section out of the gallery and hands its widget to `drop`.
    void dropGallery(void (*drop)(QWidget*));
    void refresh();

    // Brings the chosen tile into view.
    void revealChoice();

    NewLayoutSheetModel sheet_;
    QScrollArea* scroll_;
    QVBoxLayout* gallery_;
    std::vector<QAbstractButton*> tiles_;
    std::vector<NewLayoutSheetModel::Choice> tileChoices_;
    std::vector<LayoutThumbnail*> templateThumbnails_;
    LayoutThumbnail* preview_;
    QSpinBox* zones_;
    QLabel* zonesLabel_;
    QLineEdit* name_;
    QLabel* description_;
};

}  // namespace tessary
