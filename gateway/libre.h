#pragma once

// libre and librem as this program compiles them: the library was built
// with these, and its headers read them.
#ifndef HAVE_INET6
#define HAVE_INET6 1
#endif
#ifndef HAVE_STDBOOL_H
#define HAVE_STDBOOL_H 1
#endif
#ifndef HAVE_INTTYPES_H
#define HAVE_INTTYPES_H 1
#endif
#include <cstdint>

#include <re.h>
#include <rem.h>
