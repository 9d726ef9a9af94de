"""A short tour of marvane: one section per HCM chapter."""

import marvane

print(f"marvane {marvane.__version__}")
