// Resource ids of the update subsystem.
#pragma once
