"""A Jupyter kernel for Dovex: one long-lived `dovex --kernel` process per notebook."""

__version__ = "0.81.4.13"
