#include "view/view_accessible.h"

#include "view/image_view.h"

CViewAccessible::CViewAccessible(CImageView* view) : QAccessibleWidget(view, QAccessible::Graphic) {}

CImageView* CViewAccessible::View() const
{
    return static_cast<CImageView*>(widget());
}

QString CViewAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name)
        return View()->ShownName();
    return QAccessibleWidget::text(t);
}

void* CViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ImageInterface)
        return static_cast<QAccessibleImageInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString CViewAccessible::imageDescription() const
{
    return View()->ShownName();
}

// The view works in device pixels; assistive technology in logical ones.
QSize CViewAccessible::imageSize() const
{
    const CImageView* view = View();
    return view->Image() ? (QSizeF(view->ImageArea().size()) / view->devicePixelRatioF()).toSize() : QSize();
}

QPoint CViewAccessible::imagePosition() const
{
    const CImageView* view = View();
    const QPoint topLeft = (QPointF(view->ImageArea().topLeft()) / view->devicePixelRatioF()).toPoint();
    return view->mapToGlobal(topLeft);
}

QAccessibleInterface* ViewAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("CImageView") && object && object->isWidgetType())
        return new CViewAccessible(static_cast<CImageView*>(object));
    return nullptr;
}
