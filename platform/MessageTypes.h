#pragma once

namespace globalstab {

// A message box: its icon, its buttons and the button the user chose.
enum class MessageIcon
{
    None,
    Information,
    Critical,
    Question,
    Exclamation
};
enum class MessageButtons
{
    Ok,
    YesNo
};
enum class MessageAnswer
{
    Ok,
    Yes,
    No
};

} // namespace globalstab
