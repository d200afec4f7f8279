// Resource ids of the install subsystem.
#pragma once
