// Resource ids of the gamewnd subsystem.
#pragma once
