#include "SvgPicture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QThreadPool>

namespace vellamor {

namespace {

// Renders the artwork into an image of `size` logical pixels at `ratio`. A
// stretched picture keeps the artwork's proportions and is cropped on the
// right rather than squashed, so any narrower width can be cut from it.
QImage renderArtwork(QSvgRenderer &renderer, QSize size, qreal ratio, bool stretch)
{
    if (!renderer.isValid() || size.isEmpty())
        return {};
    const QSizeF art = renderer.defaultSize();
    const qreal artWidth = art.width() * size.height() / art.height();
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (stretch) {
        renderer.setAspectRatioMode(Qt::KeepAspectRatioByExpanding);
        renderer.render(&painter, QRectF(0, 0, qMax<qreal>(artWidth, size.width()), size.height()));
    } else {
        renderer.setAspectRatioMode(Qt::KeepAspectRatio);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    return image;
}

} // namespace

SvgPicture::SvgPicture(const QString &resource, QSize size, QWidget *parent)
    : QWidget(parent), m_resource(resource), m_size(size)
{
    setFixedSize(size);
    setAttribute(Qt::WA_TranslucentBackground);
}

SvgPicture::~SvgPicture() = default;

void SvgPicture::setStretchHorizontally(bool stretch)
{
    m_stretch = stretch;
    if (stretch) {
        setMinimumSize(0, m_size.height());
        setMaximumSize(QWIDGETSIZE_MAX, m_size.height());
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    } else {
        setFixedSize(m_size);
    }
    m_rendered = QPixmap();
    m_ahead = {};
    update();
}

void SvgPicture::renderAhead(int widestFirst)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
    // The task owns copies of what it needs: the picture may go first.
    auto task = std::make_shared<std::packaged_task<QImage()>>(
        [resource = m_resource, size = QSize(m_stretch ? widestFirst : m_size.width(), m_size.height()), ratio,
         stretch = m_stretch] {
            QSvgRenderer renderer(resource);
            return renderArtwork(renderer, size, ratio, stretch);
        });
    m_ahead = task->get_future().share();
    QThreadPool::globalInstance()->start([task] { (*task)(); });
}

QPixmap SvgPicture::takeRenderedAhead(qreal ratio)
{
    if (!m_ahead.valid())
        return {};
    const QImage image = m_ahead.get();
    m_ahead = {};
    const QSize wanted = size() * ratio;
    if (image.isNull() || image.devicePixelRatio() != ratio || image.height() != wanted.height() ||
        (m_stretch ? image.width() < wanted.width() : image.width() != wanted.width()))
        return {};
    return QPixmap::fromImage(image.width() == wanted.width() ? image : image.copy(QRect(QPoint(0, 0), wanted)));
}

void SvgPicture::paintEvent(QPaintEvent *)
{
    const qreal ratio = devicePixelRatioF();
    if (m_rendered.isNull() || m_rendered.deviceIndependentSize() != QSizeF(size()) ||
        m_rendered.devicePixelRatio() != ratio) {
        m_rendered = takeRenderedAhead(ratio);
        if (m_rendered.isNull()) {
            std::unique_ptr<QSvgRenderer> parsed =
                m_renderer ? std::move(m_renderer) : std::make_unique<QSvgRenderer>(m_resource);
            m_rendered = QPixmap::fromImage(renderArtwork(*parsed, size(), ratio, m_stretch));
            if (m_stretch)
                m_renderer = std::move(parsed);
        }
    }
    if (m_rendered.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_rendered);
}

} // namespace vellamor
