// The application object: start-up in its fixed order, the start modes, shut-down.
#pragma once
#include <windows.h>

namespace kvr {

class CPathwick3App {
public:
    explicit CPathwick3App(HINSTANCE instance) : m_instance(instance) {}
    int Run(int showCmd);

private:
    HINSTANCE m_instance;
};

}  // namespace kvr
