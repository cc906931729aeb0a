#pragma once
// The product picture of the product editor, centred and scaled down or up
// keeping its proportions.

#include <QPixmap>
#include <QWidget>

class TImageProduit : public QWidget {
public:
    using QWidget::QWidget;
    void SetImage(const QPixmap& image);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap m_image;
};
