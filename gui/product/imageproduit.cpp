#include "gui/product/imageproduit.h"

#include <QPainter>

void TImageProduit::SetImage(const QPixmap& image)
{
    m_image = image;
    update();
}

void TImageProduit::paintEvent(QPaintEvent*)
{
    if (m_image.isNull())
        return;
    const QPixmap p = m_image.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter(this).drawPixmap((width() - p.width()) / 2, (height() - p.height()) / 2, p);
}
