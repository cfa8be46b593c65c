#include "core/StringTable.h"

#include "platform/RuntimeError.h"

#include <QHash>

namespace globalstab {

namespace {

// The texts of the tab, exact to the blank: hosts and messages depend on them.
const QHash<int, QString>& stringTable()
{
    static const QHash<int, QString> table = {
        {101, QStringLiteral("Select Global Function:")},
        {102, QStringLiteral("Edit Project Info")},
        {103, QStringLiteral("Display Preferences")},
        {104, QStringLiteral("Add/Edit Global Page")},
        {105, QStringLiteral("Edit Project Info")},
        {106, QStringLiteral("Project Name")},
        {107, QStringLiteral("Project Id")},
        {108, QStringLiteral("&OK")},
        {109, QStringLiteral("&Cancel")},
        {110, QStringLiteral("Global Page")},
        {111, QStringLiteral("Page Name ")},
        {112, QStringLiteral("Source To ")},
        {113, QStringLiteral("B&rowse...")},
        {114, QStringLiteral("Page is added to Global Information")},
        {115, QStringLiteral("Global page is Edited successfully")},
        {116, QStringLiteral("Project Id should not have any spaces")},
        {117, QStringLiteral("Error:Project Name")},
        {118, QStringLiteral("already Exists")},
        {119, QStringLiteral("Error:Project Id")},
        {120, QStringLiteral("Project ID should not exceed more than 50 characters")},
        {121, QStringLiteral("Project Name should not exceed more than 100 characters")},
        {122, QStringLiteral("Enter a valid project Id")},
        {123, QStringLiteral("Enter a valid project name")},
        {124, QStringLiteral("Please close all files that are accessed from this project")},
        {125, QStringLiteral("PX_TOC.xml file is not found")},
        {126, QStringLiteral("Enter a Valid String for Page Name")},
        {127, QStringLiteral("Enter a valid link file")},
        {128, QStringLiteral("Linked page should be of type XML,TXT,XLS,HTM,PDF or DOC")},
        {129, QStringLiteral("Linked page can not be Book_Global.XML file")},
        {130, QStringLiteral("can not be used for ")},
        {131, QStringLiteral("Page name should not exceed more than 100 characters")},
        {132, QStringLiteral("Select a target frame")},
        {133, QStringLiteral("This is not the page which was selected to delete")},
        {134, QStringLiteral("Select a  Valid Page to Delete")},
        {135, QStringLiteral("&Ok")},
        {136, QStringLiteral("De&lete")},
        {137, QStringLiteral("Ca&ncel")},
        {138, QStringLiteral("Are you sure you want to Delete ?")},
        {139, QStringLiteral("Found in")},
        {140, QStringLiteral("PX_Selection.xml file does not exist")},
        {141, QStringLiteral("Invalid Character")},
        {142, QStringLiteral("Global page Editing Failed")},
        {143, QStringLiteral("100")},
        {144, QStringLiteral("Are you sure you want to Delete ?")},
        {145, QStringLiteral("Global page Adding Failed")},
        {146, QStringLiteral("Project Rank")},
        {147, QStringLiteral("Invalid Rank, Default Rank value(500) is applied")},
        {1001, QStringLiteral("Error in initializing Tovanel")},
        {2002, QStringLiteral("File does not exist")},
        {2003, QStringLiteral("Category already Exists")},
        {2004, QStringLiteral("Enter a valid string for category")},
        {2005,
         QStringLiteral("Length of category name should not exceed more than 100 characters")},
        {2006, QStringLiteral("Select a category from list box to be deleted")},
        {2007, QStringLiteral("Not a valid category")},
        {5530, QStringLiteral("Target Frame:")},
        {5533, QStringLiteral("Main Frame")},
        {5534, QStringLiteral("Same Browser")},
        {5535, QStringLiteral("New Mini Pexora")},
        {5536, QStringLiteral("New Full Pexora")},
        {5538, QStringLiteral("New Simple Pexora (Pop-up PX Window)")},
        {5539, QStringLiteral("Applied the project information")},
        {5540, QStringLiteral("Error in user control initproperties")},
        {5541, QStringLiteral("&Add")},
        {5542, QStringLiteral("&Edit")},
        {5543, QStringLiteral("Add global page")},
        {5544, QStringLiteral("Edit global page")},
        {5545, QStringLiteral("Global Page")},
        {5546, QStringLiteral("Hierarchical Category")},
        {5547, QStringLiteral("Project Info")},
        {5548, QStringLiteral("Available Global Pages")},
        {5549, QStringLiteral("Page Name Already Exists.")},
        {5550, QStringLiteral("Add Hierarchical Category")},
        {5551, QStringLiteral("Edit Hierarchical Category")},
        {5552, QStringLiteral("Available Category")},
        {5553, QStringLiteral("Category Name")},
        {5554, QStringLiteral("Refresh Tree")},
        {5555, QStringLiteral("Note : To view newly added Hierarchical categories in Tree, use "
                              "Refresh Tree function.")},
        {5556, QStringLiteral("Category Already Exists.")},
        {9001, QStringLiteral("Global Page Name")},
        {9002, QStringLiteral("Source for Global Page")},
        {9003, QStringLiteral("Target Frame")},
        {9004, QStringLiteral("Click to Browse Document")},
        {9005, QStringLiteral("Click to Save Global Page")},
        {9006, QStringLiteral("Click to Cancel")},
        {9007, QStringLiteral("Click to Delete Global Page")},
        {9008, QStringLiteral("List of all the Global Pages Present")},
        {9009, QStringLiteral("Project Name")},
        {9010, QStringLiteral("Project Id")},
        {9011, QStringLiteral("Click to Apply Project Name")},
        {9012, QStringLiteral("Click to Cancel")},
        {9013, QStringLiteral("Category Name")},
        {9014, QStringLiteral("List of Available Book Category ")},
        {9015, QStringLiteral("Click to Save Category")},
        {9016, QStringLiteral("Click to Cancel")},
        {9017, QStringLiteral("Click to Delete Category")},
        {9018, QStringLiteral("Click to Refresh Tree")},
        {9019, QStringLiteral("Click to Add Item to Global Tab")},
        {9020, QStringLiteral("List of Items to Add")},
        {9021, QStringLiteral("Click to Edit Items of Global Tab")},
        {9022, QStringLiteral("List of Items to Edit")},
        {9023, QStringLiteral("Click to Move up the Selected Book Category")},
        {9024, QStringLiteral("Click to Move Down the Selected Book Category")},
        {9025, QStringLiteral("To Edit, Select a Page from List")},
        {9026, QStringLiteral("To Edit, Select a Category from List")},
        {9027, QStringLiteral("is a default category, hence cannot be edited")},
        {9028, QStringLiteral("is a default category, hence cannot be deleted")},
    };
    return table;
}

} // namespace

QString resourceString(int id)
{
    const auto& table = stringTable();
    const auto it = table.constFind(id);
    if (it == table.constEnd())
        raiseError(rt::ResourceNotFound,
                   QStringLiteral("Resource with identifier '%1' not found").arg(id));
    return it.value();
}

} // namespace globalstab
