// Identifiers of the program's resources, shared by the resource script and the code.
#pragma once

#define IDI_PROGRAM 1

#ifndef RC_INVOKED
inline constexpr int kProgramIcon = IDI_PROGRAM;
#endif
