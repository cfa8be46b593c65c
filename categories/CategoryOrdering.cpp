#include "control/ListHelpers.h"
#include "control/ctlGlobalsTab.h"

#include "platform/XmlDocument.h"

#include <QLabel>
#include <QListWidget>

namespace globalstab {

namespace {

// Puts moving in front of before, its neighbour; false when there is no such neighbour.
bool putBefore(const XmlNode& moving, const XmlNode& before)
{
    if (!moving || !before)
        return false;
    XmlNode parent = before.parentNode();
    parent.removeChild(moving);
    parent.insertBefore(moving, before);
    return true;
}

// Swaps the named category with its neighbour above or below and saves the set. The name
// comes escaped: one holding markup characters does not match its stored text, so such a
// category stays where it is. A set that cannot be read stays as it is, unreported.
void swapWithNeighbour(const QString& setPath, const QString& escapedName, bool up)
{
    XmlDocument categories;
    if (!categories.load(setPath))
        return;
    const XmlNode category =
        categories.selectSingleNode(QStringLiteral("BookSet_Categories/Category[CategoryName = '") +
                                    escapedName + QStringLiteral("']"));
    if (!category)
        return;
    const bool swapped = up ? putBefore(category, category.previousSibling())
                            : putBefore(category.nextSibling(), category);
    if (swapped)
        categories.save(setPath);
}

} // namespace

// The move happens on the press, so holding the button moves once.
void ctlGlobalsTab::PictureMoveUP2_MouseDown()
{
    Trap("PictureMoveUP2_MouseDown", [&] {
        PictureMoveUP1->setVisible(true);
        PictureMoveUP2->setVisible(false);
        imgMoveUp_Click();
    });
}

void ctlGlobalsTab::PictureMoveUP2_MouseUp()
{
    Trap("PictureMoveUP2_MouseUp", [&] {
        PictureMoveUP2->setVisible(true);
        PictureMoveUP1->setVisible(false);
    });
}

void ctlGlobalsTab::PictureMoveDown2_MouseDown()
{
    Trap("PictureMoveDown2_MouseDown", [&] {
        PictureMoveDown1->setVisible(true);
        PictureMoveDown2->setVisible(false);
        imgMoveDown_Click();
    });
}

void ctlGlobalsTab::PictureMoveDown2_MouseUp()
{
    Trap("PictureMoveDown2_MouseUp", [&] {
        PictureMoveDown2->setVisible(true);
        PictureMoveDown1->setVisible(false);
    });
}

void ctlGlobalsTab::imgMoveUp_Click()
{
    Trap("imgMoveUp_Click", [&] {
        const int index = listIndex(lstAvaBookCategories);
        swapWithNeighbour(mstrBookCategoriesPath,
                          mstrCheckSpecialCharacters(listText(lstAvaBookCategories)), true);
        PopulateCategories();
        if (index > 0)
            setListIndex(lstAvaBookCategories, index - 1);
    });
}

void ctlGlobalsTab::imgMoveDown_Click()
{
    Trap("imgMoveDown_Click", [&] {
        const int index = listIndex(lstAvaBookCategories);
        swapWithNeighbour(mstrBookCategoriesPath,
                          mstrCheckSpecialCharacters(listText(lstAvaBookCategories)), false);
        PopulateCategories();
        if (index + 1 < lstAvaBookCategories->count())
            setListIndex(lstAvaBookCategories, index + 1);
    });
}

} // namespace globalstab
