// The build switch that tells a service build (which may upgrade devices with a blank OTP) from the product build.
#pragma once

// Defined by the application; false in the product build.
bool have_service_build();
