// Resource ids of the ui subsystem.
#pragma once
