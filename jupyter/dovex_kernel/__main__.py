"""Starts the kernel: python3 -m dovex_kernel -f CONNECTION_FILE."""

from ipykernel.kernelapp import IPKernelApp

from dovex_kernel.kernel import DovexKernel

if __name__ == "__main__":
    IPKernelApp.launch_instance(kernel_class=DovexKernel)
