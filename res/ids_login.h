// Resource ids of the login subsystem.
#pragma once
