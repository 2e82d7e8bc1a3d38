#pragma once

#include "ui_LpExportDlgUi.h"

#include <QDialog>

// Asks where to export the current view as a PNG image, and at which size: the window's, or
// a width and height given here.
class LpExportDlg : public QDialog, public Ui::LpExportDlgUi {
    Q_OBJECT

public:
    LpExportDlg(const QString& path, const QSize& windowSize, QWidget* parent);
    ~LpExportDlg() override;

    QString FilePath() const;
    // The size asked for, in pixels.
    QSize ImageSize() const;

private slots:
    void on_BrowseButton_clicked();

private:
    QSize windowSize;
};
