// The caption segments and their collection.
#include "widgets/gradientcaption.h"

#include "toolkit/metrics.h"

namespace darvolt {

// ---------------------------------------------------------------- TRxCaption

TRxCaption::TRxCaption(TRxCaptionList *collection) : m_collection(collection)
{
    if (!GradientCaption()) {
        m_font = GetNonClientMetrics().CaptionFont;
        m_fontColor = clCaptionText;
    }
    CopyParentFont();
}

TRxGradientCaption *TRxCaption::GradientCaption() const
{
    return m_collection ? m_collection->GradientCaption() : nullptr;
}

void TRxCaption::Changed()
{
    if (m_collection)
        m_collection->Changed();
}

void TRxCaption::CopyParentFont()
{
    if (const TRxGradientCaption *owner = GradientCaption()) {
        m_font = owner->Font();
        m_fontColor = owner->FontColor();
    }
}

void TRxCaption::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    Changed();
}

void TRxCaption::setFont(const QFont &font)
{
    m_font = font;
    m_parentFont = false;
    Changed();
}

void TRxCaption::setFontColor(TColor color)
{
    m_fontColor = color;
    m_parentFont = false;
    Changed();
}

void TRxCaption::setParentFont(bool parentFont)
{
    if (parentFont == m_parentFont)
        return;
    m_parentFont = parentFont;
    if (parentFont)
        CopyParentFont();
    Changed();
}

void TRxCaption::setInactiveColor(TColor color)
{
    if (color == m_inactiveColor)
        return;
    m_inactiveColor = color;
    // Only an inactive band shows this colour.
    if (const TRxGradientCaption *owner = GradientCaption(); owner && !owner->WindowActive())
        Changed();
}

void TRxCaption::setGlueNext(bool glueNext)
{
    if (glueNext == m_glueNext)
        return;
    m_glueNext = glueNext;
    Changed();
}

void TRxCaption::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    Changed();
}

void TRxCaption::Assign(const TRxCaption &source)
{
    if (&source == this)
        return;
    if (m_collection)
        m_collection->BeginUpdate();
    m_inactiveColor = clInactiveCaptionText;
    m_visible = true;
    m_parentFont = true;
    CopyParentFont();
    setCaption(source.Caption());
    setParentFont(source.ParentFont());
    if (!source.ParentFont()) {
        setFont(source.Font());
        setFontColor(source.FontColor());
    }
    setInactiveColor(source.InactiveColor());
    setGlueNext(source.GlueNext());
    setVisible(source.Visible());
    Changed();
    if (m_collection)
        m_collection->EndUpdate();
}

// ---------------------------------------------------------------- TRxCaptionList

TRxCaptionList::TRxCaptionList(TRxGradientCaption *owner) : m_owner(owner) {}

TRxCaptionList::~TRxCaptionList()
{
    // Going with the caption: nothing is to be repainted any more.
    m_owner = nullptr;
    m_items.clear();
}

TRxCaption *TRxCaptionList::Items(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return m_items[std::size_t(index)].get();
}

TRxCaption *TRxCaptionList::Add()
{
    m_items.push_back(std::make_unique<TRxCaption>(this));
    Changed();
    return m_items.back().get();
}

void TRxCaptionList::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    m_items.erase(m_items.begin() + index);
    Changed();
}

void TRxCaptionList::Clear()
{
    if (m_items.empty())
        return;
    m_items.clear();
    Changed();
}

void TRxCaptionList::BeginUpdate()
{
    ++m_updateCount;
}

void TRxCaptionList::EndUpdate()
{
    if (m_updateCount > 0 && --m_updateCount == 0 && std::exchange(m_changedWhileUpdating, false))
        Changed();
}

void TRxCaptionList::RestoreDefaultFonts()
{
    BeginUpdate();
    for (const auto &item : m_items)
        if (item->ParentFont()) {
            item->CopyParentFont();
            item->Changed();
        }
    EndUpdate();
}

void TRxCaptionList::Changed()
{
    if (m_updateCount > 0) {
        m_changedWhileUpdating = true;
        return;
    }
    if (m_owner && m_owner->IsEffectivelyActive())
        m_owner->Update();
}

} // namespace darvolt
