#include "toolkit/messageform.h"

#include "toolkit/messageicon.h"

#include <algorithm>
#include <cmath>

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QFontDatabase>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTextLayout>

namespace darvolt {

namespace {

// Room the window manager's frame and title bar may take around the box.
constexpr int frameAllowance = 48;

QStyle::StandardPixmap iconFor(TMsgDlgKind kind)
{
    switch (kind) {
    case TMsgDlgKind::Error: return QStyle::SP_MessageBoxCritical;
    case TMsgDlgKind::Information: return QStyle::SP_MessageBoxInformation;
    case TMsgDlgKind::Plain:
    case TMsgDlgKind::Prompt:
    case TMsgDlgKind::Question: break;
    }
    return QStyle::SP_CustomBase;
}

// Lays the text out at a width; the layout's height is the text's height.
qreal layOut(QTextLayout &layout, int width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    qreal y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

// The width of the widest of the text's lines, unwrapped.
int widestLine(const QFontMetrics &metrics, const QString &text)
{
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

QString withLineSeparators(QString text)
{
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return text;
}

} // namespace

TWrappedText::TWrappedText(const QString &text, QWidget *parent) : QWidget(parent), m_text(text)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int TWrappedText::NaturalWidth() const
{
    const QFontMetrics metrics(font());
    return widestLine(metrics, m_text) + 1;
}

int TWrappedText::heightForWidth(int width) const
{
    QTextLayout layout(withLineSeparators(m_text), font());
    return static_cast<int>(std::ceil(layOut(layout, std::max(width, 1))));
}

QSize TWrappedText::sizeHint() const
{
    const int width = NaturalWidth();
    return {width, heightForWidth(width)};
}

void TWrappedText::paintEvent(QPaintEvent *)
{
    QTextLayout layout(withLineSeparators(m_text), font());
    layOut(layout, width());
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    layout.draw(&painter, QPointF(0, 0));
}

void TWrappedText::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

TMessageForm::TMessageForm(const TMessageDialogRequest &request, QWidget *parent)
    : TDialogForm(parent), m_kind(request.kind), m_icon(iconFor(request.kind))
{
    setWindowTitle(request.title);
    setWindowModality(Qt::ApplicationModal);
    setAccessibleName(request.title);
    setAccessibleDescription(request.text);

    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    if (m_icon != QStyle::SP_CustomBase) {
        auto *icon = new QLabel(this);
        const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        const qreal ratio = devicePixelRatio();
        QPixmap picture = QPixmap::fromImage(MessageIcon(m_icon, qRound(extent * ratio)));
        picture.setDevicePixelRatio(ratio);
        icon->setPixmap(picture);
        grid->addWidget(icon, 0, 0, Qt::AlignTop);
    }
    m_text = new TWrappedText(request.text);
    m_text->setObjectName(QStringLiteral("text"));
    m_area = new QScrollArea(this);
    m_area->setFrameShape(QFrame::NoFrame);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_area->setWidgetResizable(true);
    m_area->setWidget(m_text);
    m_area->viewport()->setAutoFillBackground(false);
    m_text->setAutoFillBackground(false);
    // Beside the icon, or from the left margin where there is none, as
    // wide as the buttons below may make the box.
    grid->addWidget(m_area, 0, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QDialogButtonBox(this);
    buttons->setCenterButtons(true);
    const bool question = m_kind == TMsgDlgKind::Question;
    m_ok = buttons->addButton(question ? QDialogButtonBox::Yes : QDialogButtonBox::Ok);
    if (m_kind == TMsgDlgKind::Prompt || question)
        m_cancel = buttons->addButton(question ? QDialogButtonBox::No : QDialogButtonBox::Cancel);
    static_cast<QPushButton *>(m_ok)->setDefault(true);
    connect(m_ok, &QAbstractButton::clicked, this, [this, question] { done(question ? mrYes : mrOk); });
    if (m_cancel)
        connect(m_cancel, &QAbstractButton::clicked, this, [this] { done(EscapeAnswer()); });
    grid->addWidget(buttons, 1, 0, 1, 2);
    if (!request.details.isEmpty())
        AddDetails(request.details, buttons, grid);
    m_ok->setFocus();
    FitToScreen();
}

QAbstractButton *TMessageForm::Button(int answer) const
{
    return answer == mrOk || answer == mrYes ? m_ok : answer == mrCancel || answer == mrNo ? m_cancel : nullptr;
}

void TMessageForm::AddDetails(const QString &details, QDialogButtonBox *buttons, QGridLayout *grid)
{
    // Shut at first: the words above say what to do; the figures below are
    // for whoever wants to compare them, and can be selected and copied.
    m_details = new QPlainTextEdit(details, this);
    m_details->setObjectName(QStringLiteral("details"));
    m_details->setReadOnly(true);
    m_details->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_details->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics metrics(m_details->font());
    const int widest = widestLine(metrics, details);
    const int lines = int(details.count(QLatin1Char('\n'))) + 1;
    m_details->setFixedHeight(metrics.lineSpacing() * std::min(lines, 8) + 2 * m_details->frameWidth() + 8);
    m_details->setMinimumWidth(std::min(widest + 2 * m_details->frameWidth() + 12, 640));
    m_details->hide();
    grid->addWidget(m_details, 2, 0, 1, 2);
    QPushButton *toggle = buttons->addButton(tr("&Details"), QDialogButtonBox::ActionRole);
    toggle->setObjectName(QStringLiteral("detailsButton"));
    toggle->setCheckable(true);
    connect(toggle, &QPushButton::toggled, m_details, &QWidget::setVisible);
}

QAbstractButton *TMessageForm::DefaultButton() const
{
    return m_ok;
}

void TMessageForm::reject()
{
    done(EscapeAnswer());
}

void TMessageForm::FitToScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // Everything of the box but its text: icon, margins, buttons.
    m_area->setFixedSize(1, 1);
    const QSize chrome = layout()->totalSizeHint() - QSize(1, 1);
    const int widest = std::max(1, available.width() - chrome.width() - frameAllowance);
    const int tallest = std::max(1, available.height() - chrome.height() - frameAllowance);

    int width = std::min(m_text->NaturalWidth(), std::max(1, std::min(widest, available.width() / 2)));
    if (m_text->heightForWidth(width) > tallest)
        width = widest;
    const int height = m_text->heightForWidth(width);
    if (height > tallest) {
        // Even the whole width is not enough: the text scrolls, beside a bar.
        m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_area->setFixedSize(widest, tallest);
    } else {
        m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_area->setFixedSize(width, height);
    }
    adjustSize();
}

void TMessageForm::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        QGuiApplication::clipboard()->setText(Text());
        event->accept();
        return;
    }
    TDialogForm::keyPressEvent(event);
}

} // namespace darvolt
