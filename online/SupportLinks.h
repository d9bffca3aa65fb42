#pragma once

// The two ways to reach the maker, handed to the desktop's default programs.
namespace online {

void openSupportForum();
void openSupportEmail();

} // namespace online
