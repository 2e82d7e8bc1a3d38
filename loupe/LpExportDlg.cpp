#include "LpExportDlg.h"

#include <QFileDialog>
#include <QPushButton>

LpExportDlg::LpExportDlg(const QString& path, const QSize& windowSize, QWidget* parent)
    : QDialog(parent)
    , windowSize(windowSize)
{
    setupUi(this);
    FileEdit->setText(path);
    WindowSizeRadio->setText(
        tr("Size of the window (%1 x %2)").arg(windowSize.width()).arg(windowSize.height()));
    WidthSpin->setEnabled(false);
    HeightSpin->setEnabled(false);
    Buttons->button(QDialogButtonBox::Ok)->setDefault(true);
}

LpExportDlg::~LpExportDlg() = default;

QString LpExportDlg::FilePath() const
{
    return FileEdit->text().trimmed();
}

QSize LpExportDlg::ImageSize() const
{
    if (CustomSizeRadio->isChecked())
        return {WidthSpin->value(), HeightSpin->value()};
    return windowSize;
}

void LpExportDlg::on_BrowseButton_clicked()
{
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export image"), FilePath(), tr("PNG images (*.png)"));
    if (!path.isEmpty())
        FileEdit->setText(path);
}
