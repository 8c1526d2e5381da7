#include "Tessary/integrations/ui/AboutHeader.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>

#include "Tessary/shell/VersionInfo.h"
#include "Tessary/shell/ui/ApplicationIdentity.h"
#include "TessaryCore/TessaryInfo.h"

namespace tessary {

AboutHeader::AboutHeader(int iconSize, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("programIcon"));
    icon->setPixmap(applicationIcon(iconSize, devicePixelRatioF()));
    icon->setFixedSize(iconSize, iconSize);
    icon->setAccessibleName(QString());
    row->addWidget(icon, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto* name = new QLabel(QString::fromUtf8(TessaryInfo::productName.data(),
                                              static_cast<qsizetype>(TessaryInfo::productName.size())),
                            this);
    name->setTextFormat(Qt::PlainText);
    QFont titleFont = name->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setWeight(QFont::DemiBold);
    name->setFont(titleFont);
    version_ = new QLabel(tr("Version %1").arg(QString::fromStdString(appVersionString())), this);
    version_->setObjectName(QStringLiteral("version"));
    version_->setTextFormat(Qt::PlainText);
    version_->setForegroundRole(QPalette::PlaceholderText);
    version_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    texts->addWidget(name);
    texts->addWidget(version_);
    row->addLayout(texts);
    row->addStretch(1);
}

}  // namespace tessary
