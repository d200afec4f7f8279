// Resource ids of the settings subsystem.
#pragma once
